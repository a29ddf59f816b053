#include "ui/platform/form.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QVBoxLayout>

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->setSizeConstraint(QLayout::SetNoConstraint);
    client_ = new QWidget(this);
    client_->setObjectName("client");
    client_->setMinimumSize(0, 0);
    layout_->addWidget(client_);
}

QMenuBar* Form::menuBar() {
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        layout_->setMenuBar(menuBar_);
    }
    return menuBar_;
}

int Form::menuBarHeight() const {
    return menuBar_ ? menuBar_->sizeHint().height() : 0;
}

int Form::clientWidth() const {
    return width();
}

int Form::clientHeight() const {
    return std::max(0, height() - menuBarHeight());
}

void Form::setClientSize(int width, int height) {
    resize(std::max(0, width), std::max(0, height) + menuBarHeight());
}

int Form::widthTwips() const {
    return (clientWidth() + frameWidth_) * kTwipsPerPixel;
}

int Form::heightTwips() const {
    return (clientHeight() + frameHeight_ + (menuBar_ ? kMenuHeight : 0)) * kTwipsPerPixel;
}

void Form::setLeftTwips(int twips) {
    move(twipsToPixels(twips), y());
}

void Form::setTopTwips(int twips) {
    move(x(), twipsToPixels(twips));
}

void Form::setWidthTwips(int twips) {
    setClientSize(twipsToPixels(twips) - frameWidth_, clientHeight());
}

void Form::setHeightTwips(int twips) {
    setClientSize(clientWidth(), twipsToPixels(twips) - frameHeight_ - (menuBar_ ? kMenuHeight : 0));
}

void Form::unload() {
    close();
}

void Form::closeEvent(QCloseEvent* event) {
    bool cancel = false;
    formUnload(cancel);
    if (cancel) {
        event->ignore();
        return;
    }
    if (registry_ && registry_->runInProgress()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    if (registry_)
        registry_->forget(this);
    deleteLater();
}
