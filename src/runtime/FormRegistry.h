#pragma once
#include <functional>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QVector>

namespace runtime {

class Form;

// Forms by name: created on first use, forgotten when unloaded. When the last loaded form is
// unloaded the application quits, once the handler that unloaded it has returned to the event loop:
// a message box shown after the unload is still seen and answered first.
class FormRegistry {
public:
    using Factory = std::function<Form*()>;
    static FormRegistry& instance();

    void registerForm(const QString& name, Factory factory);
    void unregisterForm(const QString& name);
    bool isRegistered(const QString& name) const;

    // The form object, created (not loaded) on first use; null when no such form is registered.
    Form* get(const QString& name);
    Form* load(const QString& name);
    Form* show(const QString& name);
    // The existing form or null; never creates one.
    Form* find(const QString& name) const;
    template <class T> T* get(const QString& name) { return qobject_cast<T*>(get(name)); }
    template <class T> T* load(const QString& name) { return qobject_cast<T*>(load(name)); }

    int loadedCount() const;
    QStringList loadedNames() const;
    void setQuitWhenEmpty(bool quit) { m_quitWhenEmpty = quit; }
    bool quitWhenEmpty() const { return m_quitWhenEmpty; }
    // What quitting does; QCoreApplication::exit(0) unless a test records it instead.
    void setQuitAction(std::function<void()> quit) { m_quit = std::move(quit); }
    // Whether the process ends at once when the last form's unload quits: that form is then left
    // to the process's end rather than taken down (its media engine and threads would only delay
    // the end the user is waiting for). Unset, every unloaded form is released.
    void setEndsAtQuit(std::function<bool()> endsAtQuit) { m_endsAtQuit = std::move(endsAtQuit); }
    // Tests: unload and release every form.
    void reset();

    // Called by Form.
    void loaded(Form* form);
    void unloaded(Form* form);
    void forget(Form* form);
    // Quits when no form is loaded (and quitting is on); true when it did.
    bool quitIfEmpty();
    bool endsAtQuit() const { return m_endsAtQuit && m_endsAtQuit(); }

private:
    QHash<QString, Factory> m_factories;
    QHash<QString, QPointer<Form>> m_forms;
    QVector<QPointer<Form>> m_loaded;
    bool m_quitWhenEmpty = true;
    std::function<void()> m_quit;
    std::function<bool()> m_endsAtQuit;
};

inline FormRegistry& forms() { return FormRegistry::instance(); }

} // namespace runtime
