#include "platform/WindowButtonLayoutReader.h"

#include <utility>

#include "platform/GnomeSetting.h"
#include "platform/SettingsPortal.h"

WindowButtonLayoutReader::WindowButtonLayoutReader(QDBusConnection bus, QObject* parent)
    : QObject(parent) {
    const auto text = fromGSettings();
    const auto read = text ? WindowButtonLayout::parse(*text) : std::nullopt;
    layout_ = read.value_or(WindowButtonLayout::standard());
    auto* portal = new SettingsPortal(std::move(bus), this);
    portal->readOne(
        QString::fromLatin1(kSchema), QString::fromLatin1(kKey), [this](const QVariant& value) {
            // No portal, or one without the setting: GSettings' answer stands.
            const auto read = value.typeId() == QMetaType::QString
                                  ? WindowButtonLayout::parse(value.toString().toStdString())
                                  : std::nullopt;
            if (read && *read != layout_) {
                layout_ = *read;
                Q_EMIT layoutChanged();
            }
            waiting_ = false;
        });
}

std::optional<std::string> WindowButtonLayoutReader::fromGSettings() {
    return GnomeSetting(kSchema, kKey, "s").text();
}
