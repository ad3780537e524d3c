#pragma once

#include <cstdint>
#include <string>

class CSerial;
class CUpdaterState;

enum TransactionResult : std::int32_t {
    RESULT_OK = 0,
    RESULT_READBACK_FAILED = 1,
    RESULT_NO_RESPONSE = 2,
    RESULT_SCANNER_ERROR = 3,
    RESULT_FLASH_ERROR = 4,
};

// Works off state.m_packets against the scanner on `port`, one packet at a
// time, and stores what a VERSION reply says in the state's version fields.
// Stops at the first failure; packets not yet taken stay queued.
TransactionResult RunTransactions(CSerial& port, CUpdaterState& state);

// The text the user is shown for a failed run; empty for RESULT_OK.
std::string TransactionResultText(TransactionResult result);
