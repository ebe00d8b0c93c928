#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

namespace tembrik::mediaplayer::test {

// The value of each named environment variable the test's fixture provides; empty when one is unset.
QStringList fixtureValues(const QStringList& names);

// Whether a missing fixture must fail the test instead of skipping it (the full test run sets this).
bool fixturesRequired();

} // namespace tembrik::mediaplayer::test

// Skips the test, or fails it when fixtures are required, unless every named variable is set; the
// values land in `values` in the same order.
#define TEMBRIK_NEED_FIXTURE(values, ...)                                                                    \
    const QStringList values = ::tembrik::mediaplayer::test::fixtureValues({__VA_ARGS__});                   \
    if (values.contains(QString())) {                                                                        \
        if (::tembrik::mediaplayer::test::fixturesRequired()) {                                              \
            FAIL() << "fixture missing: needs " << QStringList{__VA_ARGS__}.join(' ').toStdString();         \
        }                                                                                                    \
        GTEST_SKIP() << "fixture missing: needs " << QStringList{__VA_ARGS__}.join(' ').toStdString();       \
    }
