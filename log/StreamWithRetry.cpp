#include "log/StreamWithRetry.h"

#include "platform/System.h"

#include <chrono>

int32_t DefaultOpenTimeout = 200;

platform::TFile OpenWithMode(const std::string& fileName, uint16_t mode) {
    using platform::TAccess;
    using platform::TDisposition;
    using platform::TShare;
    bool create = (mode & fmCreate) == fmCreate;
    TShare share;
    switch (mode & 0x00F0) {
    case fmShareDenyWrite:
        share = TShare::DenyWrite;
        break;
    case fmShareDenyRead:
        share = TShare::DenyRead;
        break;
    case fmShareDenyNone:
        share = TShare::DenyNone;
        break;
    default:
        share = TShare::Exclusive;
        break;
    }
    if (create)
        return platform::TFile(fileName, TAccess::ReadWrite, share, TDisposition::OpenAlways);
    TAccess access = (mode & 3) == fmOpenWrite       ? TAccess::Write
                     : (mode & 3) == fmOpenReadWrite ? TAccess::ReadWrite
                                                     : TAccess::Read;
    return platform::TFile(fileName, access, share, TDisposition::OpenExisting);
}

platform::TFile CreateStreamWithRetry(const std::string& fileName, uint16_t mode, int32_t timeout) {
    if (timeout < 0)
        timeout = DefaultOpenTimeout;
    if (timeout == 0)
        return OpenWithMode(fileName, mode);
    // A steady clock, so that a wall clock set back cannot stretch the wait.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        try {
            return OpenWithMode(fileName, mode);
        } catch (const platform::EOSError& e) {
            if (e.Code == 3 || std::chrono::steady_clock::now() >= deadline)
                throw;
        }
        platform::Sleep(20);
    }
}
