#pragma once

#include <QDialog>

#include "platform/text.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace lanqi {

class ClickLabel;

// What the user did with the usage notice.
enum class NoticeOutcome {
    Open,           // not answered yet
    Agreed,         // 同意使用: start-up goes on
    QuitAtOnce,     // 立即退出: the program ends, no question asked
    QuitConfirmed,  // close box, then OK in the "退出软件" question: the program ends
};

// noticeDialog, shown modally at start-up: the usage notice pictures and slogan in 分组框1, the maker's
// line with a click area over it, and the two buttons. The close box (and Esc) asks before it quits;
// Cancel in that question leaves the dialog open.
class NoticeDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kWidth = 490;
    static constexpr int kHeight = 319;

    // `vendorBase`: the vendor's site the maker line shows.
    explicit NoticeDialog(const Text& vendorBase, QWidget* parent = nullptr);

    NoticeOutcome outcome() const { return m_outcome; }

  signals:
    void vendorAddressRequested();  // left button on 透明标签1

  public slots:
    // The close box and Esc end up here.
    void reject() override;

  private:
    void finish(NoticeOutcome outcome);

    NoticeOutcome m_outcome = NoticeOutcome::Open;
};

}  // namespace lanqi
