#include "support/Tone.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace testsupport {

bool Tone::writeWav(const std::filesystem::path& path, double hz, double seconds, double amplitude,
                    int rate, int channels) {
    QProcess sox;
    sox.start("sox",
              {"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", "16",
               QString::fromStdString(path.string()), "synth", QString::number(seconds), "sine",
               QString::number(hz), "vol", QString::number(amplitude)});
    return sox.waitForFinished(30000) && sox.exitStatus() == QProcess::NormalExit &&
           sox.exitCode() == 0;
}

double Tone::amplitudeAt(std::span<const float> samples, int rate, double hz) {
    if (samples.empty()) return 0;
    const double w = 2 * std::numbers::pi * hz / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (float x : samples) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(samples.size());
}

}  // namespace testsupport
