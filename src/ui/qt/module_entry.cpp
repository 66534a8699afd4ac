// SPDX-License-Identifier: GPL-2.0-or-later
// The module's only export: the program finds it with dlsym and owns the
// engine it returns.
#include <type_traits>

#include "ui/engine_loader.h"
#include "ui/qt/qt_engine.h"

extern "C" __attribute__((visibility("default"))) ruvuvuri::ui::UiEngine* ruvuvuri_create_qt_engine(
    const ruvuvuri::ui::CallbackTable* callbacks, std::string* error) {
    std::string reason;
    std::unique_ptr<ruvuvuri::ui::qt::QtEngine> engine = ruvuvuri::ui::qt::QtEngine::Create(
        callbacks != nullptr ? *callbacks : ruvuvuri::ui::CallbackTable{}, &reason);
    if (engine == nullptr && error != nullptr) {
        *error = reason;
    }
    return engine.release();
}

static_assert(std::is_same_v<decltype(&ruvuvuri_create_qt_engine), ruvuvuri::ui::CreateQtEngineFn>,
              "the entry point must match the loader's declaration");
