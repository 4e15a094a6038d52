// The manifest reader over texts written here: what a well-formed manifest says, and
// every kind of text it must refuse whole.
#include <gtest/gtest.h>

#include <string>

#include "engine/manifest_xml.h"

namespace
{

const char kProgram[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
    "<!-- a comment <dependency> -->"
    "<assemblyIdentity name=\"Vendor.App\" version=\"1.0.0.0\"/>"
    "<asmv3:file xmlns:asmv3=\"urn:x\" name=\"app.dll\"></asmv3:file>"
    "<dependency><dependentAssembly>"
    "<assemblyIdentity type='win32' name='Microsoft.Windows.Common-Controls' version='6.0.0.0' "
    "processorArchitecture='*' publicKeyToken='6595b64144ccf1df' language='*'/>"
    "<bindingRedirect oldVersion=\"6.0.0.0-6.0.9.9\" newVersion=\"6.0.2600.2982\"/>"
    "</dependentAssembly></dependency>"
    "<description>A &amp; B &#x41;</description></assembly>";

TEST(ManifestXml, WellFormedManifestSaysItsIdentityDependenciesFilesAndRedirects)
{
    Manifest manifest;
    ASSERT_TRUE(ParseManifest(kProgram, manifest));
    EXPECT_EQ("Vendor.App", manifest.identity.name);
    ASSERT_EQ(1u, manifest.dependencies.size());
    EXPECT_EQ("Microsoft.Windows.Common-Controls", manifest.dependencies[0].name);
    EXPECT_EQ("6.0.0.0", manifest.dependencies[0].version);
    EXPECT_EQ("6595b64144ccf1df", manifest.dependencies[0].publicKeyToken);
    EXPECT_EQ(std::vector<std::string>{"app.dll"}, manifest.files);
    ASSERT_EQ(1u, manifest.redirects.size());
    EXPECT_TRUE(VersionInRange("6.0.5.0", manifest.redirects[0].oldVersion));
    EXPECT_FALSE(VersionInRange("6.1.0.0", manifest.redirects[0].oldVersion));

    // The same text in UTF-16 says the same.
    std::string wide = "\xFF\xFE";
    for (const char* c = kProgram + 3; *c; c++)
        wide += std::string{*c, '\0'};
    ASSERT_TRUE(ParseManifest(wide, manifest));
    EXPECT_EQ(1u, manifest.dependencies.size());
}

TEST(ManifestXml, TextThatIsNotWellFormedSaysNothing)
{
    std::string deep;
    for (int i = 0; i < 65; i++)
        deep = "<a>" + deep + "</a>";
    const std::string refused[] = {
        "",
        "<assembly>",
        "<assembly></dependency>",
        "<assembly a=\"1\" a=\"2\"/>",
        "<assembly a=1/>",
        "<assembly/><assembly/>",
        "text<assembly/>",
        "<assembly>&unknown;</assembly>",
        "<!DOCTYPE a [<!ENTITY e \"x\">]><assembly>&e;</assembly>",
        "<assembly><!-- never closed </assembly>",
        deep,
    };
    for (const std::string& text : refused)
    {
        Manifest manifest;
        manifest.files.push_back("stale");
        EXPECT_FALSE(ParseManifest(text, manifest)) << text;
        EXPECT_TRUE(manifest.files.empty()) << text;
    }
}

} // namespace
