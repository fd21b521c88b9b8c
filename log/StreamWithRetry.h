#pragma once
// Opening a log file with the original platform's 16-bit open modes, retried
// while another program holds it.
#include "platform/Files.h"

#include <cstdint>
#include <string>

constexpr uint16_t fmCreate = 0xFF00; // create when missing; never empties
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// Milliseconds that the logger's opens wait for a busy file; 200 at start.
extern int32_t DefaultOpenTimeout;

// One open attempt with the mode (fmCreate opens read-write, creating the
// file when it is missing). Throws EFOpenError with the error code.
platform::TFile OpenWithMode(const std::string& fileName, uint16_t mode);

// Retries every 20 ms until `timeout` ms have passed (negative: the
// default; 0: one attempt), except that a missing directory (code 3) fails
// at once. The last failure is thrown.
platform::TFile CreateStreamWithRetry(const std::string& fileName, uint16_t mode, int32_t timeout);
