#pragma once
// What the general tab shows and does: the default template, custom templates made from the
// user's own minutes through the service, the hotkey, launch at login and the data folder.
#include <QObject>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "documents/DocumentReader.h"
#include "model/CustomTemplate.h"
#include "platform/LoginItem.h"

class Dialogs;
class UserDefaults;

class GeneralSettingsModel : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTemplateKey = "templateId";
    static constexpr const char* kModifierKey = "hotkeyModifier";
    static constexpr const char* kIntervalKey = "hotkeyInterval";
    static constexpr double kMinInterval = 0.25;
    static constexpr double kDefaultInterval = 0.45;
    static constexpr int kIntervalSteps = 11;  // 0.25 to 0.8 in steps of 0.05

    static inline const QString kImportLabel =
        QStringLiteral("過去の議事録からテンプレートを追加…");
    static inline const QString kImportingLabel = QStringLiteral("解析中…");
    static inline const QString kNoText =
        QStringLiteral("ファイルからテキストを取得できませんでした");
    static inline const QString kLimitReached = QStringLiteral(
        "カスタムテンプレートは20件までです。追加するには、先に不要なテンプレートを削除してくださ"
        "い");
    static inline const QString kNotSaved =
        QStringLiteral("テンプレートを保存できませんでした。もう一度お試しください");

    struct Option {
        std::string id;
        QString label;
        bool operator==(const Option&) const = default;
    };

    // `documentReader`: the program that reads a chosen document's text.
    GeneralSettingsModel(UserDefaults& defaults, Dialogs& dialogs, LoginItem loginItem,
                         std::filesystem::path dataFolder, QObject* parent = nullptr,
                         std::filesystem::path documentReader = DocumentReader::installedProgram());
    ~GeneralSettingsModel() override;

    // Built-in templates, then the user's own marked " (カスタム)".
    std::vector<Option> templateOptions() const;
    std::string templateId() const;
    void setTemplateId(const std::string& id);
    const std::vector<CustomTemplate>& customTemplates() const { return customTemplates_; }
    static QString rowText(const CustomTemplate& t);
    // Removes it at once; a removed default falls back to "minutes", and the message that
    // announced it as added goes with it.
    void deleteTemplate(const std::string& id);

    bool importing() const { return importing_; }
    QString importLabel() const { return importing_ ? kImportingLabel : kImportLabel; }
    const std::optional<QString>& message() const { return message_; }
    // Asks for a document, reads its text off the main thread and has the service make a
    // template of it, which becomes the default.
    void importTemplateFile();
    // Ends a running import without a word (the window closed): its reading process at once.
    void cancelImport();

    static const std::vector<Option>& modifierOptions();
    std::string hotkeyModifier() const;
    void setHotkeyModifier(const std::string& modifier);
    double hotkeyInterval() const;
    int intervalStep() const;
    void setIntervalStep(int step);
    static double intervalForStep(int step);
    QString intervalCaption() const;

    bool launchAtLogin() const { return launchAtLogin_; }
    // Writes or removes the autostart entry; a failure snaps back to what is on disk.
    void setLaunchAtLogin(bool on);

    // Where the desktop cannot open the folder, folderProblem() says so until the next try.
    void openDataFolder();
    const QString& folderProblem() const { return folderProblem_; }

signals:
    void templatesChanged();
    void importChanged();
    void hotkeyChanged();
    void launchAtLoginChanged();
    void folderProblemChanged();

private:
    void finishImport(std::optional<QString> message, std::string added = {});

    UserDefaults& defaults_;
    Dialogs& dialogs_;
    LoginItem loginItem_;
    std::filesystem::path dataFolder_;
    std::filesystem::path documentReader_;
    // The running import's reader; an answer of an earlier one is dropped.
    std::shared_ptr<DocumentReader> reader_;
    std::vector<CustomTemplate> customTemplates_;
    bool launchAtLogin_;
    bool importing_ = false;
    std::optional<QString> message_;
    // The template the message announces as added: the message goes when it is deleted.
    std::string announcedTemplate_;
    QString folderProblem_;
};
