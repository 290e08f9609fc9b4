#include "stub/stub_paths.h"

#include <gtest/gtest.h>

TEST(StubInputPath, OwnFileUnlessAPathIsGiven) {
    EXPECT_EQ(stub_input_path("", "/opt/report.doc.exe"), "/opt/report.doc.exe");
    EXPECT_EQ(stub_input_path("   ", "/opt/own"), "/opt/own");
    EXPECT_EQ(stub_input_path("a.b", "/opt/own"), "a.b"); // short names count too
    EXPECT_EQ(stub_input_path("  data/x.qxv \r\n", "/opt/own"), "data/x.qxv");
}

TEST(StubInputPath, QuotesAreNotPartOfThePath) {
    EXPECT_EQ(stub_input_path("\"my files/report.doc.qxv\"", "own"), "my files/report.doc.qxv");
    EXPECT_EQ(stub_input_path(" \"unclosed name", "own"), "unclosed name");
    EXPECT_EQ(stub_input_path("\"\"", "own"), "own");
}

TEST(StubDefaultOutputName, CutsTheLastExtensionOfTheFileName) {
    EXPECT_EQ(stub_default_output_name("report.doc.exe"), "report.doc");
    EXPECT_EQ(stub_default_output_name("dir/report.doc.qxv"), "dir/report.doc");
    EXPECT_EQ(stub_default_output_name("name."), "name");
}

TEST(StubDefaultOutputName, ANameWithoutExtensionGetsDec) {
    EXPECT_EQ(stub_default_output_name("v1.2/report"), "v1.2/report.dec");
    EXPECT_EQ(stub_default_output_name("report"), "report.dec");
    EXPECT_EQ(stub_default_output_name("home/.profile"), "home/.profile.dec");
#ifdef _WIN32
    EXPECT_EQ(stub_default_output_name("C:\\v1.2\\report"), "C:\\v1.2\\report.dec");
    EXPECT_EQ(stub_default_output_name("C:\\v1.2\\report.doc.exe"), "C:\\v1.2\\report.doc");
#endif
}
