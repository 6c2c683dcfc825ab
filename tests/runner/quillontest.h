// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Many Qt Test classes in one test program. Each test file ends with one of
// these lines where a program of its own would have Qt's macro of the same
// name, and the shared main (testmain.cpp) runs the class named on the
// command line:
//   QUILLON_TEST_MAIN(TestFoo)          like QTEST_MAIN: a QApplication when
//                                       the program links Qt Widgets
//   QUILLON_TEST_GUILESS_MAIN(TestFoo)  like QTEST_GUILESS_MAIN
//   QUILLON_TEST_APPLESS_MAIN(TestFoo)  like QTEST_APPLESS_MAIN
// The build includes this header in every file of a test program, before
// anything else. It holds macros only: a precompiled header may still follow
// it, and a file may still set up QTest (QTEST_QPA_MOUSE_HANDLING) before it
// includes <QTest>. The macros expand where the file has included <QTest>.

// The program's list of test classes, kept by testmain.cpp: each class with
// its source file, whose base name (tst_foo) also names it on the command line.
#define QUILLON_TEST_DECLARATIONS                                                                            \
    namespace QuillonTest {                                                                                  \
    using RunFunction = int (*)(int argc, char *argv[]);                                                     \
    bool add(const char *className, const char *file, RunFunction run);                                      \
    }

// What Qt's QTEST_MAIN_WRAPPER does in main(), as a function of the list.
#define QUILLON_TEST_ADD(TestObject, ...)                                                                    \
    QUILLON_TEST_DECLARATIONS                                                                                \
    namespace {                                                                                              \
    int quillonRun##TestObject(int argc, char *argv[])                                                       \
    {                                                                                                        \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                   \
        __VA_ARGS__                                                                                          \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }                                                                                                        \
    const bool quillonAdded##TestObject = QuillonTest::add(#TestObject, __FILE__, quillonRun##TestObject);   \
    }

#define QUILLON_TEST_MAIN(TestObject) QUILLON_TEST_ADD(TestObject, QTEST_MAIN_SETUP())
#define QUILLON_TEST_GUILESS_MAIN(TestObject) QUILLON_TEST_ADD(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
#define QUILLON_TEST_APPLESS_MAIN(TestObject) QUILLON_TEST_ADD(TestObject)
