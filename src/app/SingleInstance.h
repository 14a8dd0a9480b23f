#pragma once
// One running TAVRO per user session. The first process holds a lock file in the runtime folder
// and listens on a local socket beside it; a later start hands its arguments (a "tavro" URL, or
// nothing to just bring the window back) and its activation token, if it was given one, to that
// process and exits.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` defaults to $XDG_RUNTIME_DIR; when unset, to "tavro-<uid>" in the temp folder if
    // that is a private folder of this user, else to none: the lock then cannot be taken and
    // nothing is forwarded, and lockError() says why.
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock without waiting. True for the first process; false when another live
    // process holds it (heldByAnother()) or it could not be taken at all (see lockError()).
    bool tryLock();
    bool heldByAnother() const { return heldByAnother_; }
    QString lockError() const { return lockError_; }
    // Starts listening for later starts; call after tryLock() succeeded and the application
    // object exists.
    bool listen();

    // From a later start: sends `arguments` to the first process. Retries while that process is
    // still coming up, for at most `wait`.
    bool forward(const QStringList& arguments,
                 std::chrono::milliseconds wait = std::chrono::seconds(5)) const;
    // The same with the token that lets the first process bring its window to the front.
    bool forward(const QStringList& arguments, const QString& activationToken,
                 std::chrono::milliseconds wait = std::chrono::seconds(5)) const;

    QString lockPath() const;
    QString serverName() const;

    // A message is at most this large; a longer one is dropped.
    static constexpr qint64 kMaxMessageBytes = 64 * 1024;

signals:
    // The arguments a later start handed over, in their order, and its activation token (empty
    // when it had none).
    void received(const QStringList& arguments, const QString& activationToken);

private:
    void accept();

    QString folderError_;  // declared before folder_, which fills it
    QString folder_;
    QString lockError_;
    bool heldByAnother_ = false;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
};
