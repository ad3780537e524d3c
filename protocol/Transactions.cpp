#include "Transactions.h"
// (being written)
TransactionResult RunTransactions(CSerial&, CUpdaterState&) { return RESULT_OK; }
std::string TransactionResultText(TransactionResult) { return {}; }
