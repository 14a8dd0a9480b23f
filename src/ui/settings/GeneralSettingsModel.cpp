#include "ui/settings/GeneralSettingsModel.h"

#include <QUrl>

#include <algorithm>
#include <cmath>

#include "documents/DocumentError.h"
#include "library/CustomTemplateStore.h"
#include "model/Templates.h"
#include "platform/Desktop.h"
#include "platform/DisplaySession.h"
#include "service/ServiceCall.h"
#include "service/TavroAPI.h"
#include "ui/UiContext.h"
#include "util/Text.h"
#include "util/UserDefaults.h"

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

GeneralSettingsModel::GeneralSettingsModel(UserDefaults& defaults, Dialogs& dialogs,
                                           LoginItem loginItem, std::filesystem::path dataFolder,
                                           QObject* parent, std::filesystem::path documentReader)
    : QObject(parent),
      defaults_(defaults),
      dialogs_(dialogs),
      loginItem_(std::move(loginItem)),
      dataFolder_(std::move(dataFolder)),
      documentReader_(std::move(documentReader)),
      customTemplates_(CustomTemplateStore::load(defaults)),
      launchAtLogin_(loginItem_.enabled()) {
    // Other windows and the hotkey itself read the same keys; follow them here too.
    connect(&defaults_, &UserDefaults::changed, this, [this](const QString& key) {
        if (key == QLatin1String(kTemplateKey)) emit templatesChanged();
        if (key == QLatin1String(kModifierKey) || key == QLatin1String(kIntervalKey))
            emit hotkeyChanged();
    });
}

GeneralSettingsModel::~GeneralSettingsModel() {
    if (reader_) reader_->cancel();
}

std::vector<GeneralSettingsModel::Option> GeneralSettingsModel::templateOptions() const {
    std::vector<Option> out;
    for (const TemplateInfo& t : tavroTemplates()) out.push_back({t.id, qs(t.label)});
    for (const CustomTemplate& t : customTemplates_)
        out.push_back({t.id, qs(t.label) + QStringLiteral(" (カスタム)")});
    return out;
}

std::string GeneralSettingsModel::templateId() const {
    return defaults_.stringValue(kTemplateKey).value_or("minutes");
}

void GeneralSettingsModel::setTemplateId(const std::string& id) {
    if (id == templateId()) return;
    defaults_.set(kTemplateKey, id);
}

QString GeneralSettingsModel::rowText(const CustomTemplate& t) {
    return qs(t.label) + QStringLiteral(" — ") + qs(t.detail);
}

void GeneralSettingsModel::deleteTemplate(const std::string& id) {
    // From the stored list, so that a change made meanwhile elsewhere is not undone.
    std::vector<CustomTemplate> list = CustomTemplateStore::load(defaults_);
    std::erase_if(list, [&](const CustomTemplate& t) { return t.id == id; });
    CustomTemplateStore::save(list, defaults_);
    customTemplates_ = CustomTemplateStore::load(defaults_);
    if (templateId() == id) defaults_.set(kTemplateKey, "minutes");
    emit templatesChanged();
    if (!announcedTemplate_.empty() && announcedTemplate_ == id) finishImport(std::nullopt);
}

void GeneralSettingsModel::importTemplateFile() {
    if (importing_) return;
    // The store keeps 20; a 21st would be announced and then lost, so it is refused up front.
    if (CustomTemplateStore::load(defaults_).size() >= CustomTemplateStore::kMaxTemplates)
        return finishImport(kLimitReached);
    const std::optional<std::string> chosen = dialogs_.openDocumentFile();
    if (!chosen || chosen->empty()) return;
    const std::filesystem::path file(*chosen);
    importing_ = true;
    message_.reset();
    announcedTemplate_.clear();
    emit importChanged();
    auto reader = std::make_shared<DocumentReader>(documentReader_);
    reader_ = reader;
    callService(
        this,
        [file, reader] {
            std::string text;
            try {
                text = reader->read(file);
            } catch (const DocumentError& e) {
                throw APIError::local(e.what());
            }
            if (text::trim(text).empty()) throw APIError::local(kNoText.toStdString());
            return TavroAPI::importTemplate(text, file.filename().string());
        },
        [this, reader](ServiceOutcome<CustomTemplate> outcome) {
            if (reader != reader_) return;
            reader_.reset();
            if (!outcome.ok()) return finishImport(qs(outcome.error().message()));
            std::vector<CustomTemplate> list = CustomTemplateStore::load(defaults_);
            if (list.size() >= CustomTemplateStore::kMaxTemplates)
                return finishImport(kLimitReached);
            const CustomTemplate& added = outcome.value();
            list.push_back(added);
            if (!CustomTemplateStore::save(list, defaults_)) return finishImport(kNotSaved);
            customTemplates_ = CustomTemplateStore::load(defaults_);
            defaults_.set(kTemplateKey, added.id);
            emit templatesChanged();
            finishImport(QStringLiteral("テンプレート「") + qs(added.label) +
                             QStringLiteral("」を追加しました。今後この構成で出力されます"),
                         added.id);
        });
}

void GeneralSettingsModel::cancelImport() {
    if (!reader_) return;
    reader_->cancel();
    reader_.reset();
    finishImport(std::nullopt);
}

void GeneralSettingsModel::finishImport(std::optional<QString> message, std::string added) {
    importing_ = false;
    announcedTemplate_ = std::move(added);
    message_ = std::move(message);
    emit importChanged();
}

const std::vector<GeneralSettingsModel::Option>& GeneralSettingsModel::modifierOptions() {
    // The stored ids stay; the labels name the keys as this keyboard has them ("command" is the
    // Super key, "option" is Alt).
    static const std::vector<Option> options = {
        {"command", QStringLiteral("Super キー 2回")},
        {"option", QStringLiteral("Alt キー 2回")},
        {"control", QStringLiteral("Ctrl キー 2回")},
        {"shift", QStringLiteral("Shift キー 2回")},
        {"none", QStringLiteral("無効")},
    };
    return options;
}

std::string GeneralSettingsModel::hotkeyModifier() const {
    const std::string stored = defaults_.stringValue(kModifierKey).value_or("command");
    for (const Option& o : modifierOptions())
        if (o.id == stored) return stored;
    return "command";  // what the hotkey makes of any other value
}

void GeneralSettingsModel::setHotkeyModifier(const std::string& modifier) {
    if (defaults_.stringValue(kModifierKey) == modifier) return;
    defaults_.set(kModifierKey, modifier);
}

double GeneralSettingsModel::hotkeyInterval() const {
    const double v = defaults_.doubleValue(kIntervalKey).value_or(0);
    return v > 0 ? v : kDefaultInterval;
}

double GeneralSettingsModel::intervalForStep(int step) {
    // Whole hundredths, so that 0.3 is stored as 0.3 and not 0.30000000000000004.
    return (25 + 5 * std::clamp(step, 0, kIntervalSteps)) / 100.0;
}

int GeneralSettingsModel::intervalStep() const {
    const double clamped =
        std::clamp(hotkeyInterval(), kMinInterval, intervalForStep(kIntervalSteps));
    return static_cast<int>(std::lround((clamped - kMinInterval) / 0.05));
}

void GeneralSettingsModel::setIntervalStep(int step) {
    if (step == intervalStep() && defaults_.contains(kIntervalKey)) return;
    defaults_.set(kIntervalKey, intervalForStep(step));
}

QString GeneralSettingsModel::intervalCaption() const {
    // Where the double press is seen depends on the session: say exactly where.
    QString reach;
    switch (DisplaySession::fromEnvironment().hotkeyReach()) {
        case DisplaySession::HotkeyReach::everywhere:
            reach = QStringLiteral("どのアプリの使用中でも");
            break;
        case DisplaySession::HotkeyReach::x11Windows:
            reach =
                QStringLiteral("TAVROとX11アプリの使用中のみ。Waylandアプリの使用中は反応しません");
            break;
        case DisplaySession::HotkeyReach::tavroWindows:
            reach = QStringLiteral("TAVROのウィンドウの使用中のみ");
            break;
    }
    return QString::asprintf("%.2f", hotkeyInterval()) + QStringLiteral("秒以内の2回押しで反応(") +
           reach + QStringLiteral(")");
}

void GeneralSettingsModel::setLaunchAtLogin(bool on) {
    if (on != launchAtLogin_) {
        const std::string error = loginItem_.setEnabled(on);
        launchAtLogin_ = error.empty() ? on : loginItem_.enabled();
    }
    // Always: a toggle that moved while the write failed must move back.
    emit launchAtLoginChanged();
}

void GeneralSettingsModel::openDataFolder() {
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(dataFolder_.string()));
    const QString problem = Desktop::openUrl(folder) ? QString() : Desktop::cannotOpenText(folder);
    if (problem == folderProblem_) return;
    folderProblem_ = problem;
    emit folderProblemChanged();
}
