#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace qv {

// The user guide shipped with qv-gui (the user part of its README), without its pictures.
QString user_guide_markdown();

// Help > Help: the user guide, rendered, with Find.
class HelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTextBrowser* text_ = nullptr;
};

}  // namespace qv
