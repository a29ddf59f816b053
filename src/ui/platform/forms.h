#pragma once

#include "ui/platform/form.h"

#include <QList>
#include <QObject>
#include <QPointer>

// The program's windows, one instance each, created and loaded on first use, remembered in the
// order they were loaded (the order shut-down unloads them in, newest first).
class Forms : public QObject, public FormRegistry {
    Q_OBJECT
  public:
    static Forms& instance();

    template <class T> T* get() {
        if (T* existing = find<T>())
            return existing;
        T* form = new T();
        static_cast<Form*>(form)->setRegistry(this);
        loaded_.append(form); // in the collection before its load handler runs
        emit created(form);
        static_cast<Form*>(form)->formLoad();
        return form;
    }

    template <class T> T* find() const {
        for (const auto& p : loaded_)
            if (T* f = qobject_cast<T*>(p.data()))
                return f;
        return nullptr;
    }

    QList<Form*> loaded() const;
    bool runInProgress() const override { return running_; }
    void setRunInProgress(bool running) { running_ = running; }
    void forget(Form* form) override;
    // Deletes every window without running handlers (tests start each case afresh).
    void destroyAll();

  signals:
    // A window has just been created; its load handler runs next. The main window wires its children
    // here, so they need not know it.
    void created(Form* form);

  private:
    QList<QPointer<Form>> loaded_;
    bool running_ = false;
};
