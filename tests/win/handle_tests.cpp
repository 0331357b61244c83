// Handle owners and ComPtr.
#include "win/comptr.h"
#include "win/handle.h"

#include <gtest/gtest.h>

namespace {

TEST(Handles, OwnersMoveAndCloseOnce) {
    win::KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.get();

    win::KernelHandle moved(std::move(event));
    EXPECT_FALSE(event);
    EXPECT_EQ(moved.get(), raw);

    win::KernelHandle assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.get(), raw);
    assigned.reset();
    EXPECT_FALSE(assigned);
    // The handle is gone for good.
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}

TEST(Handles, BothFailureValuesCountAsNoHandle) {
    win::KernelHandle none(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none);
    win::KernelHandle null(nullptr);
    EXPECT_FALSE(null);
    win::FindHandle search(FindFirstFileW(L"Z:\\no\\such\\folder\\*", nullptr));
    EXPECT_FALSE(search);
}

TEST(Handles, ResetKeepsTheErrorOfTheCallThatFailed) {
    win::KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    SetLastError(ERROR_FILE_NOT_FOUND);
    event.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Handles, RegistryKeysAndProcessInformation) {
    win::RegKey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
    EXPECT_TRUE(key);
    HKEY first = key.get();
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()); // frees the first
    EXPECT_TRUE(key);
    (void)first;

    PROCESS_INFORMATION info = {};
    info.hProcess = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    info.hThread = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        win::ProcessInformation process(info);
        EXPECT_EQ(process.process(), info.hProcess);
        EXPECT_EQ(process.thread(), info.hThread);
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(info.hProcess, &flags));
    EXPECT_FALSE(GetHandleInformation(info.hThread, &flags));
}

struct Counted : IUnknown {
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(ComPtr, CountsItsReferences) {
    Counted object;
    {
        win::ComPtr<Counted> first(&object);
        EXPECT_EQ(object.references, 2u);
        win::ComPtr<Counted> copy = first;
        EXPECT_EQ(object.references, 3u);
        win::ComPtr<Counted> moved = std::move(copy);
        EXPECT_EQ(object.references, 3u);
        EXPECT_FALSE(copy);
        moved.reset();
        EXPECT_EQ(object.references, 2u);
        Counted** slot = reinterpret_cast<Counted**>(first.putVoid());
        EXPECT_EQ(object.references, 1u); // the old reference went first
        *slot = &object;
        object.AddRef();
    }
    EXPECT_EQ(object.references, 1u);
}

} // namespace
