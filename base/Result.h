#pragma once
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

// The one failure shape of the libraries: a value, or the reason there is none.
// Shaped like std::expected (which the project's clang cannot build yet), so that
// moving to it later is a rename.

template <class E>
struct Unexpected {
    E error;
};

// Fail("why") or Fail(SomeKind::X): what a function returns when it has no value.
template <class E>
Unexpected<std::decay_t<E>> Fail(E&& error)
{
    return {std::forward<E>(error)};
}
inline Unexpected<std::string> Fail(const char* reason) { return {std::string(reason)}; }

template <class T, class E = std::string>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <class F>
    Result(Unexpected<F> failure) : state_(std::in_place_index<1>, std::move(failure.error))
    {
    }

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    template <class U>
    T value_or(U&& fallback) const&
    {
        return has_value() ? value() : static_cast<T>(std::forward<U>(fallback));
    }

    const E& error() const { return std::get<1>(state_); }

private:
    std::variant<T, E> state_;
};

// Success or the reason for failure, for steps that return nothing.
template <class E>
class [[nodiscard]] Result<void, E> {
public:
    Result() = default;
    template <class F>
    Result(Unexpected<F> failure) : error_(std::move(failure.error)), failed_(true)
    {
    }

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return error_; }

private:
    E error_{};
    bool failed_ = false;
};
