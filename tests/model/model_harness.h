#pragma once

#include "model/app_model.h"

#include "testsupport/temp_tree.h"

#include <QTest>

#include <gtest/gtest.h>

namespace vorlane::test {

// Waits (processing events) until the condition holds; false after the timeout.
template<typename F>
bool waitUntil(F condition, int timeoutMs = 30000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// Opens root in the model and waits for its listing.
inline bool openAndWait(AppModel &model, const std::filesystem::path &root)
{
    model.openRoot(root);
    return waitUntil([&] { return !model.listing().isLoading(); });
}

inline bool navigateAndWait(AppModel &model, const std::filesystem::path &dir,
                            const std::optional<std::filesystem::path> &select = std::nullopt)
{
    model.navigate(dir, select);
    return waitUntil([&] { return !model.listing().isLoading(); });
}

inline std::vector<std::string> pairNames(const AppModel &model)
{
    std::vector<std::string> names;
    for (const MediaPair &p : model.listing().pairs())
        names.push_back(p.displayName().toStdString());
    return names;
}

inline std::optional<QUuid> pairIdNamed(const AppModel &model, const QString &name)
{
    for (const MediaPair &p : model.listing().pairs()) {
        if (p.displayName() == name)
            return p.id();
    }
    return std::nullopt;
}

inline MachineInputs quietMachine(int cpus = 2)
{
    return MachineInputs{cpus, [] { return 0.7; }, [] { return 0; }};
}

} // namespace vorlane::test
