#pragma once

#include "filelist/file_list.h"
#include "ui/main_window.h"
#include "ui/settings_store.h"

namespace partwright {

// What the window tests look at inside the window and its store; the
// product's own code reaches none of it.
class MainWindowTestAccess {
public:
    [[nodiscard]] static FileList& List(MainWindow& window) { return *window.fileList_; }
    [[nodiscard]] static PointerFeedback& Pointer(MainWindow& window) { return *window.pointer_; }
    [[nodiscard]] static bool IsLoading(const MainWindow& window) { return window.loading_; }
    [[nodiscard]] static bool IsRunning(const MainWindow& window) { return window.running_; }
    [[nodiscard]] static SettingsStore& Store(MainWindow& window) { return window.store_; }
};

class SettingsStoreTestAccess {
public:
    using WriteObserver = SettingsStore::WriteObserver;
    static void SetWriteObserver(SettingsStore& store, WriteObserver observer) {
        store.observer_ = std::move(observer);
    }
};

namespace test {

[[nodiscard]] inline FileList& List(MainWindow& window) { return MainWindowTestAccess::List(window); }
[[nodiscard]] inline PointerFeedback& Pointer(MainWindow& window) { return MainWindowTestAccess::Pointer(window); }
[[nodiscard]] inline bool IsLoading(const MainWindow& window) { return MainWindowTestAccess::IsLoading(window); }
[[nodiscard]] inline bool IsRunning(const MainWindow& window) { return MainWindowTestAccess::IsRunning(window); }
// Tells `observer` of every write the window makes to its store, in order.
inline void ObserveWrites(MainWindow& window, SettingsStoreTestAccess::WriteObserver observer) {
    SettingsStoreTestAccess::SetWriteObserver(MainWindowTestAccess::Store(window), std::move(observer));
}

}  // namespace test

}  // namespace partwright
