#include "app/ActivationToken.h"

#include <QtGlobal>

namespace ActivationToken {

QString ofThisStart() {
    return qEnvironmentVariable(kVariable);
}

void activateWith(const QString& token, bool wayland, const std::function<void()>& activate) {
    if (!wayland || token.isEmpty()) {
        activate();
        return;
    }
    qputenv(kVariable, token.toUtf8());
    activate();
    // Qt takes the token only where the compositor offers activation; a token left behind
    // would reach a browser or an agent tool, which could take the focus with it.
    qunsetenv(kVariable);
}

}  // namespace ActivationToken
