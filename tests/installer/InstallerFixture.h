// An installer window over a folder of its own: the installer's folder ("kit"), a
// system directory ("system") and a stand-in registration tool that records how it
// was started. Each test's folder is named after the test, so a death test's child
// (which runs the test again from its start) works in the same place.
#pragma once

#include "Form1.h"
#include "TestSupport.h"

#include "runtime/Services.h"

#include "platform/Paths.h"

#include <QString>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        root = CasesFolder() / (std::string(info->test_suite_name()) + "." + info->name());
        RemoveAll(root);
        fs::create_directories(kit());
        fs::create_directories(sys());
        setenv("ZAMPOLO_SYSTEM_DIR", sys().c_str(), 1);
        setenv("INSTALLER_TEST_LOG", (root / "registrations.txt").c_str(), 1);
        // Started by bare name, the tool is found in the system directory.
        Write(sys() / "REGSVR32.EXE",
              "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$#\" \"$*\" \"$ZAMPOLO_SHOW_STATE\" >> "
              "\"$INSTALLER_TEST_LOG\"\n",
              fs::perms(0755));
        savedPath = runtime::App.Path;
        runtime::App.Path = platform::FromNativePath(kit().string());
        runtime::SetMessageBoxHookForTesting(
            [this](const runtime::String& text, const runtime::String& caption) {
                std::ofstream(root / "boxes.txt", std::ios::app)
                    << Utf8(caption) << '\t' << Escaped(Utf8(text)) << '\n';
                return runtime::vbOK;
            });
    }
    void TearDown() override {
        runtime::SetMessageBoxHookForTesting({});
        runtime::App.Path = savedPath;
        if (form && form->IsLoaded()) form->Unload();
        unsetenv("ZAMPOLO_SYSTEM_DIR");
        if (!HasFailure()) RemoveAll(root); // a failed test's folder stays to be looked at
    }

    virtual fs::path CasesFolder() const { return fs::path(ZAMPOLO_TEST_BINARY_DIR) / "cases"; }
    fs::path kit() const { return root / "kit"; }
    fs::path sys() const { return root / "system"; }

    void Show() {
        form = std::make_shared<zampoinst::Form1>();
        form->Show();
    }
    // Presses the button; the program ends inside (End, or the error report), so this
    // runs as a death test's statement. A click that returns is status 99.
    void Click() {
        if (!form) Show();
        form->Command1.Value = true;
        std::_Exit(99);
    }

    // The message boxes shown so far, as "caption<TAB>text" (line breaks as \n).
    std::vector<std::string> Boxes() const { return Lines(root / "boxes.txt"); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& line : Boxes()) texts.push_back(line.substr(line.find('\t') + 1));
        return texts;
    }
    // The registration tools started, "argument count|arguments|show state", sorted (the
    // tools run at the same time); waits until count of them have written.
    std::vector<std::string> Registrations(std::size_t count) const {
        testsupport::PumpUntil([&] { return Lines(root / "registrations.txt").size() >= count; });
        auto lines = Lines(root / "registrations.txt");
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::set<std::string> Entries(const fs::path& dir) const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
        return names;
    }

public:
    static void Write(const fs::path& file, const std::string& data,
                      fs::perms perms = fs::perms(0644)) {
        std::ofstream(file, std::ios::binary) << data;
        fs::permissions(file, perms);
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::vector<std::string> Lines(const fs::path& file) {
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    static void RemoveAll(const fs::path& dir) {
        std::error_code ec;
        if (!fs::exists(dir, ec)) return;
        for (const auto& e : fs::recursive_directory_iterator(dir, ec))
            if (e.is_directory()) fs::permissions(e.path(), fs::perms(0755), ec);
        fs::permissions(dir, fs::perms(0755), ec);
        fs::remove_all(dir, ec);
    }
    static std::string Utf8(const runtime::String& s) {
        return QString::fromStdU16String(s).toStdString();
    }
    static std::string Escaped(const std::string& s) {
        std::string out;
        for (char c : s) out += c == '\n' ? std::string("\\n") : std::string(1, c);
        return out;
    }

protected:
    fs::path root;
    std::shared_ptr<zampoinst::Form1> form;
    runtime::String savedPath;
};
