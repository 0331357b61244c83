#pragma once

#include <windows.h>

namespace win {

// Move-only owner of one handle. The policy says which value means "no handle" and how a
// handle is given back to the system.
template <typename Policy> class UniqueHandle {
  public:
    using Handle = typename Policy::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    bool valid() const { return Policy::IsValid(handle_); }
    explicit operator bool() const { return valid(); }

    Handle release() {
        Handle handle = handle_;
        handle_ = Policy::Invalid();
        return handle;
    }

    // Gives the held handle back; a caller that reads GetLastError afterwards still sees
    // the error of the call that failed, not of the close.
    void reset(Handle handle = Policy::Invalid()) {
        if (Policy::IsValid(handle_)) {
            DWORD lastError = GetLastError();
            Policy::Close(handle_);
            SetLastError(lastError);
        }
        handle_ = handle;
    }

    // For calls that return a handle through a pointer; the old handle goes first.
    Handle* put() {
        reset();
        return &handle_;
    }

  private:
    Handle handle_ = Policy::Invalid();
};

struct KernelHandlePolicy {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    // Some calls report failure with null, others with INVALID_HANDLE_VALUE.
    static bool IsValid(Handle handle) { return handle && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

struct FindHandlePolicy {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle handle) { return handle && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

struct RegistryKeyPolicy {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};

struct ModulePolicy {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { FreeLibrary(handle); }
};

struct IconPolicy {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DestroyIcon(handle); }
};

template <typename GdiHandle> struct GdiObjectPolicy {
    using Handle = GdiHandle;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { DeleteObject(handle); }
};

using KernelHandle = UniqueHandle<KernelHandlePolicy>;
using FindHandle = UniqueHandle<FindHandlePolicy>;
using RegKey = UniqueHandle<RegistryKeyPolicy>;
using Module = UniqueHandle<ModulePolicy>;
using Icon = UniqueHandle<IconPolicy>;
template <typename GdiHandle> using GdiObject = UniqueHandle<GdiObjectPolicy<GdiHandle>>;

// Both handles of a started process.
class ProcessInformation {
  public:
    ProcessInformation() = default;
    ProcessInformation(const ProcessInformation&) = delete;
    ProcessInformation& operator=(const ProcessInformation&) = delete;
    ProcessInformation(ProcessInformation&&) = default;
    ProcessInformation& operator=(ProcessInformation&&) = default;

    // Takes over the handles that CreateProcessW wrote.
    explicit ProcessInformation(const PROCESS_INFORMATION& info)
        : process_(info.hProcess), thread_(info.hThread) {}

    HANDLE process() const { return process_.get(); }
    HANDLE thread() const { return thread_.get(); }
    void reset() {
        thread_.reset();
        process_.reset();
    }

  private:
    KernelHandle process_;
    KernelHandle thread_;
};

} // namespace win
