#include "runtime/FormRegistry.h"

#include <QCoreApplication>
#include <QThread>
#include "runtime/Form.h"

namespace runtime {

namespace {

// Asks the registry to quit when it is deleted, and releases the last form then. deleteLater()
// delivers that only once control is back in the event loop that was running when it was called,
// never inside a modal loop opened after it, so a message shown after the last unload is not cut
// short.
class QuitWhenBackInTheLoop : public QObject {
public:
    QuitWhenBackInTheLoop(FormRegistry& registry, Form* last) : m_registry(registry), m_last(last) {}
    ~QuitWhenBackInTheLoop() override {
        const bool quitting = m_registry.quitIfEmpty();
        if (m_last && !(quitting && m_registry.endsAtQuit())) delete m_last.data();
    }

private:
    FormRegistry& m_registry;
    QPointer<Form> m_last;
};

} // namespace

FormRegistry& FormRegistry::instance() {
    static FormRegistry registry;
    return registry;
}

void FormRegistry::registerForm(const QString& name, Factory factory) { m_factories[name] = std::move(factory); }
void FormRegistry::unregisterForm(const QString& name) { m_factories.remove(name); }
bool FormRegistry::isRegistered(const QString& name) const { return m_factories.contains(name); }

Form* FormRegistry::get(const QString& name) {
    if (Form* f = find(name)) return f;
    auto it = m_factories.find(name);
    if (it == m_factories.end()) return nullptr;
    Form* f = (*it)();
    if (!f) return nullptr;
    f->setObjectName(name);
    m_forms[name] = f;
    return f;
}

Form* FormRegistry::load(const QString& name) {
    QPointer<Form> f = get(name);
    if (f) f->Load();
    return f && f->isLoaded() ? f.data() : nullptr;
}

Form* FormRegistry::show(const QString& name) {
    QPointer<Form> f = get(name);
    if (f) f->Show();
    return f && f->isLoaded() ? f.data() : nullptr;
}

Form* FormRegistry::find(const QString& name) const {
    auto it = m_forms.find(name);
    if (it == m_forms.end() || !*it || (*it)->isUnloading()) return nullptr;
    return *it;
}

int FormRegistry::loadedCount() const {
    int n = 0;
    for (const auto& f : m_loaded)
        if (f && f->isLoaded()) ++n;
    return n;
}

QStringList FormRegistry::loadedNames() const {
    QStringList names;
    for (const auto& f : m_loaded)
        if (f && f->isLoaded()) names << f->formName();
    return names;
}

void FormRegistry::loaded(Form* form) {
    if (!m_loaded.contains(form)) m_loaded.append(form);
}

void FormRegistry::unloaded(Form* form) {
    m_loaded.removeAll(form);
    for (auto it = m_forms.begin(); it != m_forms.end();) {
        if (*it == form || !*it) it = m_forms.erase(it);
        else ++it;
    }
    // Released once control is back in the event loop; before the loop runs, a modal loop may release
    // it while its load is still on the stack, which Form::Load and Show allow for.
    // Before the event loop has started there is nothing to quit: main() runs it only while a form
    // is loaded. A quit asked for then would make every later modal loop return at once.
    if (loadedCount() == 0 && m_quitWhenEmpty && QThread::currentThread()->loopLevel() > 0)
        (new QuitWhenBackInTheLoop(*this, form))->deleteLater();
    else
        form->deleteLater();
}

bool FormRegistry::quitIfEmpty() {
    if (loadedCount() != 0 || !m_quitWhenEmpty) return false;
    if (m_quit) m_quit();
    else QCoreApplication::exit(0);
    return true;
}

void FormRegistry::forget(Form* form) {
    m_loaded.removeAll(form);
    for (auto it = m_forms.begin(); it != m_forms.end();) {
        if (*it == form || !*it) it = m_forms.erase(it);
        else ++it;
    }
}

void FormRegistry::reset() {
    bool quit = m_quitWhenEmpty;
    m_quitWhenEmpty = false;
    for (const auto& f : QVector<QPointer<Form>>(m_loaded))
        if (f) f->Unload();
    for (const auto& f : QVector<QPointer<Form>>(m_loaded))
        delete f.data();
    for (auto& f : m_forms)
        if (f) delete f.data();
    m_forms.clear();
    m_loaded.clear();
    m_quitWhenEmpty = quit;
}

} // namespace runtime
