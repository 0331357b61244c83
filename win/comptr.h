#pragma once

#include <unknwn.h>

#include <utility>

namespace win {

// Holds one reference to a COM-style object: AddRef on copy, Release on reset.
template <typename T> class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(T* object) : object_(object) {
        if (object_)
            object_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other) {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    void reset() {
        if (T* object = std::exchange(object_, nullptr))
            object->Release();
    }
    void swap(ComPtr& other) noexcept { std::swap(object_, other.object_); }

    // Takes over a reference the caller already owns (no AddRef).
    void attach(T* object) {
        reset();
        object_ = object;
    }
    // For calls that hand out an object through a pointer: the old reference goes first.
    T** put() {
        reset();
        return &object_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

  private:
    T* object_ = nullptr;
};

} // namespace win
