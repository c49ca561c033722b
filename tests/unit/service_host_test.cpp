// The control handler and the worker's start-up summary, in-process with the event recorder.
#include "service/service_host.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "common/unique_handle.h"
#include "service/event_log.h"
#include "service/settings.h"
#include "tests/unit/service_recorders.h"

namespace {

class ControlHandler : public testing::Test {
protected:
    ControlHandler() : stopEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        g_serviceStatus = SERVICE_STATUS{SERVICE_WIN32, SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN, 0, 0, 0, 0};
        g_serviceStopEvent = stopEvent_.get();
    }
    ~ControlHandler() override {
        g_serviceStopEvent = nullptr;
        console_.Finish();
        DeleteMachineKeyTree(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Dravik QAX");
    }
    bool StopEventSet() { return WaitForSingleObject(stopEvent_.get(), 0) == WAIT_OBJECT_0; }

    UniqueKernelHandle stopEvent_;
    EventRecorder events_;
    ConsoleCapture console_;
};

}  // namespace

TEST_F(ControlHandler, StopAndShutdownReportStoppingAndWakeTheServiceMain) {
    for (DWORD control : {DWORD{SERVICE_CONTROL_STOP}, DWORD{SERVICE_CONTROL_SHUTDOWN}}) {
        SCOPED_TRACE(control);
        g_serviceStatus.dwCurrentState = SERVICE_RUNNING;
        const size_t before = events_.events().size();
        ServiceCtrlHandler(control);
        ASSERT_EQ(events_.events().size(), before + 1);
        EXPECT_EQ(events_.events().back().id, 4u);
        EXPECT_EQ(events_.events().back().type, EVENTLOG_INFORMATION_TYPE);
        EXPECT_TRUE(events_.events().back().strings.empty());
        EXPECT_EQ(g_serviceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
        EXPECT_TRUE(StopEventSet());
    }
    // No service of that name is installed here, so nothing asks the manager to stop one.
    EXPECT_EQ(console_.Finish(),
              "\r\nThe process has completed successfully.\r\nThe process has completed successfully.");
}

TEST_F(ControlHandler, OtherControlsChangeNothing) {
    for (DWORD control : {DWORD{SERVICE_CONTROL_PAUSE}, DWORD{SERVICE_CONTROL_CONTINUE},
                          DWORD{SERVICE_CONTROL_INTERROGATE}, DWORD{SERVICE_CONTROL_PARAMCHANGE}, DWORD{200}}) {
        ServiceCtrlHandler(control);
    }
    EXPECT_TRUE(events_.events().empty());
    EXPECT_EQ(g_serviceStatus.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(g_serviceStatus.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_FALSE(StopEventSet());
    EXPECT_EQ(console_.Finish(), "");
}

namespace {
void PrintEvent(DWORD id, WORD type, const wchar_t**, WORD count) {
    fprintf(stderr, "EVENT id=%lu type=%u strings=%u\n", static_cast<unsigned long>(id), type, count);
    fflush(stderr);
}
}  // namespace

TEST(ConsoleRunStop, ReportsStoppingAndEndsTheProcessWithAnError) {
    EXPECT_EXIT(
        {
            SetEventReporter(PrintEvent);
            g_consoleMode = true;
            ServiceCtrlHandler(SERVICE_CONTROL_STOP);
        },
        testing::ExitedWithCode(1), "EVENT id=4 type=4 strings=0\n");
    DeleteMachineKeyTree(L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Dravik QAX");
}

namespace {

class StartupSummary : public testing::Test {
protected:
    ~StartupSummary() override {
        g_phoneClients = nullptr;
        g_phoneClientCount = 0;
        wzMulticastTargetIP[0] = wzMulticastMessageText[0] = wzMulticastAlertSound[0] = 0;
    }
    PhoneClient clients_[2] = {{"127.0.10.21", L"SEPA"}, {"127.0.10.22", L"SEP\u00e9"}};
};

}  // namespace

TEST_F(StartupSummary, PrintsTheBroadcastSettingsThenEveryTarget) {
    wcscpy_s(wzMulticastTargetIP, L"239.1.1.1");
    wcscpy_s(wzMulticastMessageText, L"Evacuate \u00e0 once");
    wcscpy_s(wzMulticastAlertSound, L"Chime.raw");
    iMulticastVolume = 65;
    g_phoneClients = clients_;
    g_phoneClientCount = 2;
    ConsoleCapture console;
    PrintStartupSummary();
    EXPECT_EQ(console.Finish(),
              "wzMulticastTargetIP: 239.1.1.1\r\n"
              "wzMulticastMessageText: Evacuate \xe0 once\r\n"
              "wzMulticastAlertSound: Chime.raw\r\n"
              "iMulticastVolume: 65\r\n"
              "Servicing the following 2 phones:\r\n"
              "SEPA and 127.0.10.21\r\n"
              "SEP\xe9 and 127.0.10.22\r\n");
}

TEST_F(StartupSummary, WithoutTargetsPrintsTheCountZeroAndNoTargetLine) {
    iMulticastVolume = 80;
    ConsoleCapture console;
    PrintStartupSummary();
    const std::string out = console.Finish();
    EXPECT_EQ(out.substr(out.find("iMulticastVolume")), "iMulticastVolume: 80\r\nServicing the following 0 phones:\r\n");
}
