#pragma once
// A value or an error, for results that cross a module boundary. A small stand-in for
// C++23's std::expected; the caller must look at it.
#include <cassert>
#include <utility>
#include <variant>

namespace platform {

template <class E>
struct Unexpected {
    E error;
};

template <class E>
Unexpected<E> MakeUnexpected(E error) { return Unexpected<E>{std::move(error)}; }

template <class T, class E>
class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> error) : state_(std::in_place_index<1>, std::move(error.error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() { assert(has_value()); return std::get<0>(state_); }
    const T& value() const { assert(has_value()); return std::get<0>(state_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const E& error() const { assert(!has_value()); return std::get<1>(state_); }

    T value_or(T fallback) const { return has_value() ? value() : std::move(fallback); }

private:
    std::variant<T, E> state_;
};

// Success or an error, for operations without a result value.
template <class E>
class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Unexpected<E> error) : error_(std::move(error.error)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const E& error() const { assert(failed_); return error_; }

private:
    E error_{};
    bool failed_ = false;
};

}  // namespace platform
