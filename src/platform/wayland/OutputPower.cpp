#include "platform/wayland/OutputPower.h"

#ifdef LUMORA_OUTPUT_POWER
#include "qwayland-wlr-output-power-management-unstable-v1.h"
#include <QGuiApplication>
#include <QScreen>
#include <QtWaylandClient/QWaylandClientExtensionTemplate>
#include <map>
#include <qpa/qplatformnativeinterface.h>
#endif

namespace platform::wayland {

#ifdef LUMORA_OUTPUT_POWER

namespace {

class PowerManager : public QWaylandClientExtensionTemplate<PowerManager>,
                     public QtWayland::zwlr_output_power_manager_v1 {
public:
    PowerManager() : QWaylandClientExtensionTemplate<PowerManager>(1) { initialize(); }
    ~PowerManager() override {
        if (isInitialized()) destroy();
    }
};

// One question about one output: the compositor tells the mode at once, and the control goes with
// the answer.
class PowerQuestion : public QtWayland::zwlr_output_power_v1 {
public:
    PowerQuestion(::zwlr_output_power_v1* object, MonitorPower* answer)
        : QtWayland::zwlr_output_power_v1(object), m_answer(answer) {}
    ~PowerQuestion() override {
        if (isInitialized()) destroy();
    }
    bool answered() const { return !isInitialized(); }

protected:
    void zwlr_output_power_v1_mode(uint32_t mode) override {
        *m_answer = mode == mode_on ? MonitorPower::On : MonitorPower::Off;
        destroy();
    }
    // No power management on this output, or another client holds it.
    void zwlr_output_power_v1_failed() override {
        *m_answer = MonitorPower::Unknown;
        destroy();
    }

private:
    MonitorPower* m_answer;
};

class OutputPowerReader : public MonitorPowerReader {
public:
    explicit OutputPowerReader(std::unique_ptr<PowerManager> manager) : m_manager(std::move(manager)) {}

    MonitorPower read() override {
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (!native || !m_manager->isActive()) return MonitorPower::Unknown;
        std::map<::wl_output*, Output> now;
        for (QScreen* screen : QGuiApplication::screens()) {
            auto* output = static_cast<::wl_output*>(native->nativeResourceForScreen("output", screen));
            if (!output) continue;
            Output& entry = now[output];
            auto known = m_outputs.find(output);
            if (known != m_outputs.end()) entry = std::move(known->second);
        }
        m_outputs = std::move(now);
        bool allOff = !m_outputs.empty();
        bool anyOn = false;
        for (auto& [output, o] : m_outputs) {
            anyOn = anyOn || *o.answer == MonitorPower::On;
            allOff = allOff && *o.answer == MonitorPower::Off;
            // One question at a time: one the compositor has not answered yet is waited for.
            if (!o.question || o.question->answered())
                o.question =
                    std::make_unique<PowerQuestion>(m_manager->get_output_power(output), o.answer.get());
        }
        if (anyOn) return MonitorPower::On;
        return allOff ? MonitorPower::Off : MonitorPower::Unknown;
    }

private:
    struct Output {
        // Where the question writes; apart from the entry, which moves when the outputs change.
        std::unique_ptr<MonitorPower> answer = std::make_unique<MonitorPower>(MonitorPower::Unknown);
        std::unique_ptr<PowerQuestion> question;
    };
    std::unique_ptr<PowerManager> m_manager;
    std::map<::wl_output*, Output> m_outputs;
};

} // namespace

std::unique_ptr<MonitorPowerReader> outputPowerReader() {
    auto manager = std::make_unique<PowerManager>();
    if (!manager->isActive()) return nullptr;
    return std::make_unique<OutputPowerReader>(std::move(manager));
}

#else

std::unique_ptr<MonitorPowerReader> outputPowerReader() {
    return nullptr;
}

#endif

} // namespace platform::wayland
