#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

// A solvei-sim process serving UDP on a free port of 127.0.0.1, stopped with the object.
class SimPeer {
public:
    explicit SimPeer(const QStringList& extra = {}) {
        process_.setProgram(QStringLiteral(SOLVEI_SIM_PATH));
        process_.setArguments(QStringList{"--udp", "127.0.0.1:0", "--seed", "1"} + extra);
        process_.start();
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && process_.state() != QProcess::NotRunning) {
            if (!process_.canReadLine()) {
                process_.waitForReadyRead(100);
                continue;
            }
            const QString line = QString::fromUtf8(process_.readLine()).trimmed();
            if (line.startsWith("udp ")) {
                port_ = line.section(':', -1).toUShort();
                return;
            }
        }
    }
    ~SimPeer() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    SimPeer(const SimPeer&) = delete;
    SimPeer& operator=(const SimPeer&) = delete;

    // 0 until the simulator said where it listens.
    [[nodiscard]] unsigned short Port() const { return port_; }

private:
    QProcess process_;
    unsigned short port_ = 0;
};
