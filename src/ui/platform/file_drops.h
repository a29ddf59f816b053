#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Lets a widget take a file dropped on it from a file manager. A drag that carries no local file goes on
// to the widget's own handling (text dropped into a text box); one that does is the watcher's alone, so
// a refused file never turns into its path typed into the box.
class FileDrops : public QObject {
    Q_OBJECT
  public:
    using Accepts = std::function<bool(const QString& file)>;
    using Dropped = std::function<void(const QString& file)>;

    // The first local file of a drag is offered to accepts while the drag passes over the widget, and
    // handed to dropped, once the drop is over, when it is let go there.
    static void watch(QWidget* widget, Accepts accepts, Dropped dropped);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    FileDrops(QWidget* widget, Accepts accepts, Dropped dropped);
    Accepts accepts_;
    Dropped dropped_;
};
