// A main window wired to a fake box and a recording page, in a fresh program directory.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/main_frame.h"
#include "bridge/command_state.h"
#include "bridge/command_worker.h"
#include "tests/fakes/fake_box_services.h"
#include "tests/fakes/recording_frontend.h"
#include "tests/fakes/temp_program_dir.h"

class BridgeTest : public ::testing::Test {
protected:
    BridgeTest() : frame(box.Services(), CWorkerTiming{0, 1, 0}) {
        frame.AttachPage(&page);
        frame.AttachDialogs(&dialogs);
        dir.WriteStrings(
            "alert_title=Notice\ndetect_zelvo_failed=Cannot reach the replaceBox\n"
            "save_config_failed=Saving \"setup\" failed\npath_too_long=Path too long\n");
    }

    // One worker pass as the thread makes it.
    void Pass() { RunWorkerPass(frame); }
    void Passes(int n) {
        for (int i = 0; i < n; ++i) Pass();
    }
    // Waits (bounded) until the condition holds; for tests that run the real worker thread.
    static bool Eventually(const std::function<bool()>& condition) {
        for (int i = 0; i < 500; ++i) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }
    void WriteTemplate() {
        dir.WriteFile("html/Default.xml",
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<KorixSet>\n"
                      "  <BaseSet URL2=\"http://127.0.0.1/home\" Name=\"a\"/>\n"
                      "  <Net Ip=\"1.1.1.1\"><Inner Ip=\"0\"/></Net>\n</KorixSet>\n");
    }

    CTempProgramDir dir;
    CFakeBoxServices box;
    CRecordingPage page;
    CScriptedDialogs dialogs;
    CMainFrame frame;
};
