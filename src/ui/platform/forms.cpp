#include "ui/platform/forms.h"

Forms& Forms::instance() {
    static Forms forms;
    return forms;
}

QList<Form*> Forms::loaded() const {
    QList<Form*> out;
    for (const auto& p : loaded_)
        if (p)
            out.append(p.data());
    return out;
}

void Forms::forget(Form* form) {
    loaded_.removeIf([form](const QPointer<Form>& p) { return p.isNull() || p.data() == form; });
}

void Forms::destroyAll() {
    const auto all = loaded_;
    loaded_.clear();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        delete it->data();
}
