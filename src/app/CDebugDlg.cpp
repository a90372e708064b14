#include "app/CDebugDlg.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/DebugLineModel.h"
#include "skin/ControlId.h"

namespace {

constexpr int kListWidth = 580;
constexpr int kListHeight = 360;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

CDebugDlg::CDebugDlg(QWidget* mainWindow, DebugClock clock)
    : QDialog(mainWindow), timestamp_(std::move(clock)),
      model_(std::make_unique<DebugLineModel>(lines_)) {
    setWindowTitle(QStringLiteral("Debug"));
    setModal(false);

    list_ = new QListView(this);
    SetControlId(list_, kListId);
    list_->setModel(model_.get());
    // Every row is one line of one font: the view never measures rows one by one.
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumSize(kListWidth, kListHeight);
    list_->setToolTip(QStringLiteral("Debug Information"));

    showLeds_ = new QCheckBox(QStringLiteral("Show leds information"), this);
    SetControlId(showLeds_, kShowLedsId);
    showLeds_->setChecked(true);
    showDetail_ = new QCheckBox(QStringLiteral("Show detail information"), this);
    SetControlId(showDetail_, kShowDetailId);
    showDetail_->setChecked(false);
    save_ = new QPushButton(QStringLiteral("&Save to file"), this);
    SetControlId(save_, kSaveId);
    save_->setAutoDefault(false);
    clear_ = new QPushButton(QStringLiteral("&Clear"), this);
    SetControlId(clear_, kClearId);
    clear_->setAutoDefault(false);

    auto* controls = new QHBoxLayout;
    controls->addWidget(showLeds_);
    controls->addWidget(showDetail_);
    controls->addStretch(1);
    controls->addWidget(save_);
    controls->addWidget(clear_);
    status_ = new QLabel(this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(controls);
    layout->addWidget(status_);

    connect(save_, &QPushButton::clicked, this, [this] { (void)SaveToFile(); });
    connect(clear_, &QPushButton::clicked, this, [this] { ClearLines(); });
}

CDebugDlg::~CDebugDlg() {
    // The view lets go of the model before the model and its store go.
    list_->setModel(nullptr);
}

bool CDebugDlg::Accepts(const std::string& text) const {
    if (!showLeds_->isChecked() &&
        (Contains(text, "Leds") || Contains(text, "Recieved  - 06 - 82"))) {
        return false;
    }
    if (!showDetail_->isChecked() && (Contains(text, "tick") || Contains(text, "Debug :"))) {
        return false;
    }
    return true;
}

void CDebugDlg::AddLine(const std::string& text) {
    if (!logging_ || !Accepts(text)) {
        return;
    }
    // A view resting on its last line follows new lines, as a terminal does; one scrolled up
    // to read stays where the reader left it.
    const QScrollBar* bar = list_->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    lines_.Add(timestamp_.Now() + text);
    model_->LinesAdded();
    if (lines_.Dropped() != droppedShown_) {
        ShowDropped();
    }
    if (following && !scrollQueued_) {
        // Once per burst of lines, after the view has laid out the new rows.
        scrollQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                scrollQueued_ = false;
                list_->scrollToBottom();
            },
            Qt::QueuedConnection);
    }
}

void CDebugDlg::ClearLines() {
    lines_.Clear();
    model_->LinesCleared();
    droppedShown_ = 0;
    status_->clear();
}

void CDebugDlg::ShowDropped() {
    droppedShown_ = lines_.Dropped();
    status_->setText(QStringLiteral("%1 oldest lines dropped to keep the newest %2")
                         .arg(droppedShown_)
                         .arg(lines_.Limit()));
}

std::string CDebugDlg::SavePath() {
#ifdef Q_OS_WIN
    return "c:\\debug.txt";
#else
    return QDir(QDir::homePath()).filePath(QStringLiteral("debug.txt")).toStdString();
#endif
}

bool CDebugDlg::SaveToFile() {
    const QString path = QString::fromStdString(SavePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        status_->setText(
            QStringLiteral("Not saved: %1 cannot be written (%2)").arg(path, file.errorString()));
        return false;
    }
    bool written = true;
    for (std::size_t i = 0; i < lines_.Count() && written; ++i) {
        const std::string& line = lines_.Line(i);
        written = file.write(line.data(), static_cast<qint64>(line.size())) ==
                      static_cast<qint64>(line.size()) &&
                  file.write("\r\n", 2) == 2;
    }
    file.close();
    const bool saved = written && file.error() == QFileDevice::NoError;
    status_->setText(
        saved ? QStringLiteral("Saved %1 lines to %2").arg(lines_.Count()).arg(path)
              : QStringLiteral("Not saved whole: %1 (%2)").arg(path, file.errorString()));
    return saved;
}

void CDebugDlg::reject() {
    logging_ = false;
    QDialog::reject();
}
