#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace qv {

// qv-gui's own read-only viewer of a text file (the message file, the options file): fixed-pitch,
// with Find and Reload; it follows the file while a run writes it, staying at the end when it
// was there. "Open with system viewer" hands the file to the desktop where that can be done.
class TextViewerWindow : public QWidget {
    Q_OBJECT
  public:
    // host_path: the file as the host names it. open_outside: empty where there is no system
    // viewer.
    TextViewerWindow(const QString& host_path, std::function<void()> open_outside,
                     QWidget* parent = nullptr);

    const QString& path() const { return path_; }
    // Reads the file again (also the Reload button).
    void reload();

    // The viewer of host_path among the windows of `owner`, made when there is none, and shown
    // in front.
    static TextViewerWindow* open(QWidget* owner, const QString& host_path,
                                  std::function<void()> open_outside);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void follow();

    QString path_;
    QPlainTextEdit* text_ = nullptr;
    QLabel* state_ = nullptr;
    QTimer* timer_ = nullptr;
    qint64 size_ = -1;
    QDateTime modified_;
};

// Whether the desktop's opener of files (xdg-open) is on PATH.
bool system_viewer_available();

}  // namespace qv
