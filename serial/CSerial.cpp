#include "CSerial.h"
// (being written)
CSerial::CSerial(const char*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool, bool) { throw 1; }
CSerial::~CSerial() = default;
bool CSerial::Open(const char*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool, bool) { return false; }
bool CSerial::SetParams(std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool, bool) { return false; }
bool CSerial::Close() { return false; }
std::int32_t CSerial::BytesWaiting() { return 0; }
std::int32_t CSerial::Read(std::uint8_t*, std::int32_t, std::uint32_t) { return 0; }
std::int32_t CSerial::Write(const std::uint8_t*, std::int32_t, std::uint32_t) { return 0; }
bool CSerial::ReadBack(const std::uint8_t*, std::int32_t, std::int32_t, std::uint32_t) { return false; }
void CSerial::PurgeInput() {}
