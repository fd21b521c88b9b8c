#pragma once
// A field that one thread writes and another reads, such as an event handler
// the host sets while the viewer's thread may be calling it: assignment and
// reading take a lock of their own, so the field can stay a plain public one.
#include <mutex>
#include <utility>

namespace progress {

template <typename T> class TGuarded {
public:
    TGuarded() = default;
    TGuarded(T value) : Value(std::move(value)) {}
    TGuarded(const TGuarded&) = delete;
    TGuarded& operator=(const TGuarded&) = delete;

    TGuarded& operator=(T value) {
        std::lock_guard guard(Lock);
        Value = std::move(value);
        return *this;
    }
    T Get() const {
        std::lock_guard guard(Lock);
        return Value;
    }
    operator T() const { return Get(); }

private:
    mutable std::mutex Lock;
    T Value{};
};

} // namespace progress
