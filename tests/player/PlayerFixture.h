// A player window with the stand-in decoder, a folder of songs and answered boxes.
#pragma once

#include "FakeDecoder.h"
#include "MP3Control.h"
#include "MP3Request.h"
#include "TestSupport.h"
#include "frmPlayer.h"

#include "runtime/Services.h"

#include "platform/CodePage.h"
#include "platform/Paths.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        runtime::SetMessageBoxHookForTesting(
            [this](const runtime::String& text, const runtime::String&) {
                boxes.push_back(text);
                return runtime::vbOK;
            });
        form = std::make_shared<zampoplay::frmPlayer>();
        form->Show();
        root = fs::temp_directory_path() / ("zampolo-player-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override {
        zampoplay::UnhookWindow(); // nothing starts any more
        Settle();
        fake::Reset();
        testsupport::PumpUntil([] { return fake::Running() == 0; });
        testsupport::PumpPending();
        runtime::SetMessageBoxHookForTesting({});
        if (form->IsLoaded()) form->Unload();
        if (form->IsLoaded()) form->Unload();
        fs::remove_all(root);
    }

    // A folder holding these (empty) files; returns its path in platform form.
    runtime::String Folder(const std::string& name, const std::vector<std::string>& files) {
        const fs::path dir = root / name;
        fs::create_directories(dir);
        for (const auto& f : files) std::ofstream(dir / f) << "x";
        return platform::FromNativePath(dir.string());
    }
    static std::string Ansi(const runtime::String& s) { return platform::ToAnsi(s); }

    // Play pressed on this folder.
    void Play(const runtime::String& folder) {
        form->Text1.Text = folder;
        form->Command1.Enabled = true;
        Press(form->Command1);
    }
    // The song playing ends (by itself, or stopped by the button just pressed), and
    // its end message is handled. Returns whether a new song was started.
    bool SongEnds(bool byItself = true) {
        if (byItself) {
            Settle();
            endedBefore = fake::Ended();
            startedBefore = fake::TimedCount();
            fake::EndSong();
        }
        // The song's end message is queued once the library counts it as ended.
        testsupport::PumpUntil([this] { return fake::Ended() > endedBefore; });
        testsupport::PumpPending();
        return fake::TimedCount() > startedBefore;
    }
    // Every song started so far has reached the library's mp3play.
    void Settle() {
        testsupport::PumpUntil([] { return fake::PlayCount() == fake::TimedCount(); });
    }
    // The file name the last start sequence handed to the library.
    std::string LastStarted() { return fake::Timed(fake::TimedCount() - 1); }
    void Press(runtime::CommandButton& button) {
        Mark();
        button.Value = true;
    }
    // Remembers how many songs have ended and started, for SongEnds(false).
    void Mark() {
        Settle();
        endedBefore = fake::Ended();
        startedBefore = fake::TimedCount();
    }

    std::shared_ptr<zampoplay::frmPlayer> form;
    fs::path root;
    std::vector<runtime::String> boxes;
    int endedBefore = 0, startedBefore = 0; // as the last Press or SongEnds found them
};
