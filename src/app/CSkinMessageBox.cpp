#include "app/CSkinMessageBox.h"

#include <QKeyEvent>
#include <QPainter>

#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinStatic.h"

namespace {

const char* IconKey(IMessageBox::Icon icon, bool question) {
    if (question) {
        return "icon_question";
    }
    switch (icon) {
    case IMessageBox::Icon::Information:
        return "icon_information";
    case IMessageBox::Icon::Warning:
        return "icon_warning";
    case IMessageBox::Icon::Error:
        return "icon_error";
    case IMessageBox::Icon::None:
        break;
    }
    return nullptr;
}

} // namespace

CSkinMessageBox::CSkinMessageBox(CSkinManager* manager) : CSkinDialog("MsgBox", manager) {}

CSkinMessageBox::~CSkinMessageBox() {
    ok_.reset();
    yes_.reset();
    no_.reset();
}

bool CSkinMessageBox::InSkin(CSkinManager* manager) {
    CSkin* skin = manager != nullptr ? manager->Current() : nullptr;
    if (skin == nullptr) {
        return false;
    }
    return !skin->GetString("MsgBox", "statics").empty() &&
           skin->GetLong("MsgBoxOk", "width") > 0 && skin->GetLong("MsgBoxYes", "width") > 0 &&
           skin->GetLong("MsgBoxNo", "width") > 0;
}

int CSkinMessageBox::Run(QWidget* owner, const QString& text, const QString& caption,
                         IMessageBox::Icon icon, Keys keys) {
    icon_ = icon;
    question_ = keys == Keys::YesNo;
    // An empty caption shows the skin's own name for the program's boxes.
    CSkin* skin = Manager()->Current();
    caption_ = caption.isEmpty() && skin != nullptr
                   ? QString::fromStdString(skin->GetString("MsgBox", "caption"))
                   : caption;
    text_ = text;
    keys_ = keys;
    // Nothing of the box is touched after the loop: its owner may have taken it down.
    const int closed = question_ ? kNo : kOk;
    const int result = DoModal(owner, true);
    return result != 0 ? result : closed;
}

void CSkinMessageBox::ApplySkin() {
    CSkinDialog::ApplySkin();
    setWindowTitle(caption_);
    const auto statics = Statics();
    if (statics.size() >= 2) {
        statics[0]->SetCaption(caption_);
        statics[1]->SetCaption(text_);
    }
    MakeKeys();
}

void CSkinMessageBox::MakeKeys() {
    auto make = [this](std::unique_ptr<CSkinButton>& key, const char* section, unsigned id,
                       int answer) {
        if (!key) {
            key = std::make_unique<CSkinButton>(section, Manager());
            key->Create(this, id);
            connect(key.get(), &CSkinButton::clicked, this, [this, answer] { Answer(answer); });
        }
    };
    if (keys_ == Keys::Ok) {
        make(ok_, "MsgBoxOk", kOkId, kOk);
    } else {
        make(yes_, "MsgBoxYes", kYesId, kYes);
        make(no_, "MsgBoxNo", kNoId, kNo);
    }
}

void CSkinMessageBox::Answer(int answer) {
    EndModal(answer);
}

CSkinButton* CSkinMessageBox::Key(unsigned id) const {
    switch (id) {
    case kOkId:
        return ok_.get();
    case kYesId:
        return yes_.get();
    case kNoId:
        return no_.get();
    default:
        return nullptr;
    }
}

std::vector<CSkinButton*> CSkinMessageBox::KeysShown() const {
    std::vector<CSkinButton*> keys;
    for (CSkinButton* key : {ok_.get(), yes_.get(), no_.get()}) {
        if (key != nullptr && key->isVisible()) {
            keys.push_back(key);
        }
    }
    return keys;
}

QString CSkinMessageBox::Text() const {
    const auto statics = Statics();
    return statics.size() >= 2 ? statics[1]->Caption() : QString();
}

QString CSkinMessageBox::CaptionLine() const {
    const auto statics = Statics();
    return statics.empty() ? QString() : statics[0]->Caption();
}

void CSkinMessageBox::showEvent(QShowEvent* event) {
    CSkinDialog::showEvent(event);
    // The box takes the keyboard at once; Enter presses the default key (No for a question,
    // so that nothing happens on air by a stray Enter).
    activateWindow();
    raise();
    if (CSkinButton* key = question_ ? no_.get() : ok_.get()) {
        key->setFocus(Qt::OtherFocusReason);
    }
}

void CSkinMessageBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        Answer(question_ ? kNo : kOk);
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Reaches the box itself only when no key has the focus: the key that had it last
        // answers, else the default one.
        if (auto* focused = qobject_cast<CSkinButton*>(focusWidget())) {
            focused->Press();
        } else {
            Answer(question_ ? kNo : kOk);
        }
        return;
    }
    // Y and N answer a question at once, as the keys' first letters do in the system's own
    // question boxes.
    if (question_ && (key == Qt::Key_Y || key == Qt::Key_N) &&
        event->modifiers() == Qt::NoModifier) {
        Answer(key == Qt::Key_Y ? kYes : kNo);
        return;
    }
    if (question_ && (key == Qt::Key_Left || key == Qt::Key_Right) && yes_ && no_) {
        (yes_->hasFocus() ? no_ : yes_)->setFocus(Qt::TabFocusReason);
        return;
    }
    CSkinDialog::keyPressEvent(event);
}

void CSkinMessageBox::paintEvent(QPaintEvent* event) {
    CSkinDialog::paintEvent(event);
    const char* key = IconKey(icon_, question_);
    if (key == nullptr) {
        return;
    }
    const QImage* twin = devicePixelRatioF() >= 1.5 ? GetTwin(key) : nullptr;
    if (const QImage* mark = twin != nullptr ? twin : GetImage(key)) {
        // The mark's own mask colour is cut out as it is drawn; a twin keeps its ratio of 2.
        QImage shown = mark->convertToFormat(QImage::Format_ARGB32);
        const QRgb mask = qRgb(255, 0, 255);
        for (int y = 0; y < shown.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(shown.scanLine(y));
            for (int x = 0; x < shown.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == (mask & 0xFFFFFF)) {
                    line[x] = 0;
                }
            }
        }
        QPainter painter(this);
        painter.drawImage(QPoint(GetLong("icon_left"), GetLong("icon_top")), shown);
    }
}
