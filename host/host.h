// The stand-in host application: it offers its framework services to the process, loads the module, lets it
// register its class objects and keeps what it registered.
#pragma once

#include "host/calcevaluator.h"
#include "host/calllog.h"
#include "host/channelcalchost.h"
#include "host/chartdata.h"
#include "host/chartrecorder.h"
#include "host/framework.h"
#include "host/lmpeaks.h"
#include "host/services.h"

#include <string>

namespace host {

class Host {
public:
    Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    // Registers the framework, test registry and application class objects for the process.
    HRESULT Start();
    // Revokes them (the module's cached pointers must not be used afterwards).
    void Stop();
    bool Started() const { return started_; }

    // Loads the module library and calls its DllRegisterClassObjects with the framework object; the export's
    // result, or a failure when the library or its export cannot be found (LastError says why).
    HRESULT LoadModule(const std::string& path);
    // Releases everything the module registered, then unloads it.
    void UnloadModule();
    bool ModuleLoaded() const { return module_ != nullptr; }
    const std::string& LastError() const { return lastError_; }

    CallLog& Log() { return log_; }
    Framework& GetFramework() { return framework_; }
    TestRegistry& Tests() { return tests_; }
    ApplicationService& Application() { return application_; }
    // Each request a new, empty chart data that records.
    ChartDataFactory& ChartDataClass() { return chartDataFactory_; }
    // The host's calculation evaluator (the channel-calculation class).
    CalcEvaluatorClass& Evaluator() { return evaluator_; }

    // A new host document's chart data, with one reference for the caller.
    platform::ComPtr<ChartData> NewChartData();

    // The framework that the host's framework library hands out when no host application registered one
    // (DllGetClassObject); it is never started.
    static Host& Library();

private:
    CallLog log_;
    LMPeaksClass peaks_; // before the framework, which holds a reference to it
    HostCalcFactory channelCalcFactory_;
    ChannelCalcAux channelCalcAux_;
    CalcSourceLocator calcSources_{log_};
    Framework framework_;
    TestRegistry tests_;
    ApplicationService application_;
    CalcEvaluatorClass evaluator_{framework_};
    ChartDataFactory chartDataFactory_;
    DWORD cookies_[4] = {};
    bool started_ = false;
    void* module_ = nullptr;
    std::string lastError_;
};

} // namespace host

// The framework library's class-object export.
extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out);
