#pragma once

namespace vorlane::test {

// Makes every GLib critical (a g_return_if_fail that tripped, a signal disconnected on a freed object)
// abort the test process, whatever G_DEBUG says. Call at the start of main.
void failOnGlibCriticals();

} // namespace vorlane::test
