// SPDX-License-Identifier: GPL-2.0-or-later
#include <windows.h>

#include <streambuf>

#include "base/printable.h"
#include "base/win_error_text.h"
#include "hw/backends/trace.h"
#include "hw/platform_error.h"

// The trace file on Windows, through the ANSI file functions, which the 95
// family implements. Windows raises no signal for a write to a closed pipe:
// a failed write is simply kept as the first error.
namespace ruvuvuri::hw {
namespace {

std::string TraceName(const std::string& path) {
    return "the trace file \"" + base::Printable(path) + "\"";
}

}  // namespace

class TraceFile::Buffer final : public std::streambuf {
  public:
    explicit Buffer(HANDLE file) : file_(file) { setp(data_, data_ + sizeof data_); }
    ~Buffer() override {
        sync();
        CloseHandle(file_);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    DWORD error() const { return error_; }

  protected:
    int_type overflow(int_type c) override {
        Drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        Drain();
        return 0;
    }

  private:
    void Drain() {
        const char* data = pbase();
        auto size = static_cast<DWORD>(pptr() - pbase());
        while (size > 0 && error_ == 0) {
            // Appended at the end, as O_APPEND does, whoever else writes there.
            SetFilePointer(file_, 0, nullptr, FILE_END);
            DWORD wrote = 0;
            if (!WriteFile(file_, data, size, &wrote, nullptr) || wrote == 0) {
                error_ = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
                break;
            }
            data += wrote;
            size -= wrote;
        }
        setp(data_, data_ + sizeof data_);
    }

    HANDLE file_;
    DWORD error_ = 0;
    char data_[65536];
};

TraceFile::TraceFile(const std::string& path) : path_(path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw PlatformError("cannot write " + TraceName(path) + " (" +
                            base::WinErrorText(GetLastError()) +
                            "); give --trace a path in a writable folder");
    }
    buffer_ = std::make_unique<Buffer>(file);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
}

TraceFile::~TraceFile() {
    stream_.reset();
    buffer_.reset();
}

std::ostream& TraceFile::stream() {
    return *stream_;
}

void TraceFile::CheckWritten() {
    stream_->flush();
    if (const DWORD error = buffer_->error(); error != 0) {
        throw PlatformError("cannot write " + TraceName(path_) + " (" + base::WinErrorText(error) +
                            "); the trace of this run is incomplete, although the run itself "
                            "went through; free space there or give --trace another path");
    }
}

}  // namespace ruvuvuri::hw
