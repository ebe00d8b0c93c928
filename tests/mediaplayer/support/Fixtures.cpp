#include "Fixtures.h"

namespace tembrik::mediaplayer::test {

QStringList fixtureValues(const QStringList& names) {
    QStringList values;
    for (const QString& name : names) {
        values << qEnvironmentVariable(name.toLatin1().constData());
    }
    return values;
}

bool fixturesRequired() {
    return qEnvironmentVariable("TEMBRIK_REQUIRE_FIXTURES") == QLatin1String("1");
}

} // namespace tembrik::mediaplayer::test
