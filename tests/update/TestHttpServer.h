#pragma once
// A tiny HTTP server on 127.0.0.1 for the update tests: each path answers with a
// scripted status and body, or hangs without answering.
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

class TestHttpServer : public QObject {
  public:
    TestHttpServer() {
        connect(&server_, &QTcpServer::newConnection, this, &TestHttpServer::accept);
        server_.listen(QHostAddress::LocalHost, 0);
    }

    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
    void serve(const QString& path, const QByteArray& body, int status = 200) {
        routes_[path] = Route{status, body, false};
    }
    void hang(const QString& path) { routes_[path] = Route{200, {}, true}; }

    QStringList requested; // paths asked for, in order

  private:
    struct Route {
        int status = 200;
        QByteArray body;
        bool hang = false;
    };

    void accept() {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            s->setParent(this);
            connect(s, &QTcpSocket::readyRead, this, [this, s] { read(s); });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket* s) {
        QByteArray& buf = pending_[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n")) return;
        const QList<QByteArray> first = buf.left(buf.indexOf("\r\n")).split(' ');
        pending_.remove(s);
        const QString path = first.size() > 1 ? QString::fromUtf8(first[1]) : QString();
        requested << path;
        const auto it = routes_.constFind(path);
        const Route r = it == routes_.constEnd() ? Route{404, "not here", false} : *it;
        if (r.hang) return; // keeps the connection open and never answers
        const QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) +
                               " Scripted\r\n"
                               "Content-Type: text/plain\r\nContent-Length: " +
                               QByteArray::number(r.body.size()) + "\r\nConnection: close\r\n\r\n" +
                               r.body;
        s->write(out);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QHash<QString, Route> routes_;
};
