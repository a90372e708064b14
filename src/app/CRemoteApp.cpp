#include "app/CRemoteApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

#include "app/CDlgMain.h"
#include "app/CInstanceLock.h"
#include "app/IOperatorDialogs.h"
#include "link/RegistryLocation.h"
#include "skin/CSkinManager.h"

CRemoteApp::CRemoteApp(Places places) : places_(std::move(places)) {}

// The skin goes first, then the settings record writes what the last apply left in it.
CRemoteApp::~CRemoteApp() {
    skinManager_.reset();
}

CRemoteApp::Places CRemoteApp::DefaultPlaces() {
    const QString program = QCoreApplication::applicationFilePath();
    const QString folder = QCoreApplication::applicationDirPath();
    return {QDir::tempPath().toStdString(), program.toStdString(),
            QDir(folder).filePath(QString::fromLatin1(kSkinFolder)).toStdString()};
}

int CRemoteApp::Run(IOperatorDialogs& dialogs) {
    settings_.ReadRegistry();
    settings_.Load();

    CInstanceLock instance(places_.lockFolder);
    if (!instance.TryAcquire()) {
        if (instance.HeldByAnother()) {
            dialogs.Show(kAlreadyRunning, "Solvei", IMessageBox::Icon::None);
            return 0;
        }
        // The lock only keeps a second copy away: an operator on air is not kept from the
        // processor because the temporary folder misbehaves, but is told why.
        dialogs.Show("The check for another running copy failed: " + instance.Reason() +
                         ". The program runs without it.",
                     "Solvei", IMessageBox::Icon::Warning);
    }

    skinManager_ = std::make_unique<CSkinManager>(places_.skinBase, places_.archivePath, dialogs);
    // A skin error is told by the manager itself; the window runs either way.
    (void)skinManager_->ChangeSkin(kSkinName);
    {
        CDlgMain window(skinManager_.get(), settings_, dialogs);
        // The window opens where it was left (DoModal keeps it wholly on a screen).
        QSettings store(RegistryFormat(), QSettings::UserScope, QStringLiteral("Tarrowin"),
                        QStringLiteral("FALX"));
        const QVariant place = store.value(QStringLiteral("Window/position"));
        if (place.canConvert<QPoint>() && place.isValid()) {
            window.SetPlacement(place.toPoint());
        }
        window.DoModal(nullptr);
        store.setValue(QStringLiteral("Window/position"), window.pos());
        store.sync();
        instance.Release();
    }
    settings_.WriteRegistry();
    return 0;
}
