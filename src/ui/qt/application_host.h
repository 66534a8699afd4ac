// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <memory>
#include <string>

class QApplication;

namespace ruvuvuri::ui::qt {

// The QApplication the module creates when the program has none. QApplication
// keeps references to argc and argv, so they live here beside it.
class ApplicationHost {
  public:
    // A running application when possible; nullptr with the reason when no
    // display can be opened.
    static std::unique_ptr<ApplicationHost> Start(std::string* error);
    ~ApplicationHost();

    ApplicationHost(const ApplicationHost&) = delete;
    ApplicationHost& operator=(const ApplicationHost&) = delete;

  private:
    ApplicationHost();

    int argc_ = 1;
    char program_name_[9] = "Ruvuvuri";
    char* argv_[2] = {program_name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

}  // namespace ruvuvuri::ui::qt
