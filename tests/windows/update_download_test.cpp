// WinHTTP's update download against the local servers of
// test_update_download.sh, under Wine: the exact file over https from the
// server whose CA the test trusts and over http; no file from a server with
// an untrusted certificate, on a 404, a redirection or past the size limit.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>
#include <wincrypt.h>

#include "app/update_download.h"
#include "base/debug_log.h"

namespace {

std::string env(const char *name)
{
    const char *value = getenv(name);
    return value ? value : "";
}

// Adds the base64 DER certificate to the current user's trusted roots (the
// test prefix's; Windows itself would ask the user first) and writes them to
// the registry at once, where the download's certificate check reads them.
// The context, for removing it again; null on failure.
PCCERT_CONTEXT trust_root(const std::string &base64)
{
    BYTE der[8192];
    DWORD size = sizeof der;
    if (!CryptStringToBinaryA(base64.c_str(), 0, CRYPT_STRING_BASE64, der, &size, nullptr, nullptr))
        return nullptr;
    HCERTSTORE roots = CertOpenSystemStoreA(0, "ROOT");
    PCCERT_CONTEXT added = nullptr;
    if (roots) {
        CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_REPLACE_EXISTING, &added);
        CertControlStore(roots, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        CertCloseStore(roots, 0);
    }
    return added;
}

// What the servers hold as exact.bin: every byte value, CR, LF and NUL included.
std::string exact_body()
{
    std::string bytes;
    for (int i = 0; i < 1000; i++)
        bytes += (char)(i * 7 % 256);
    return bytes;
}

}  // namespace

TEST(update_download, gets_the_exact_file_only_from_a_trusted_server_within_the_limit)
{
    std::string https = env("QTE_TEST_HTTPS"), untrusted = env("QTE_TEST_UNTRUSTED"), http = env("QTE_TEST_HTTP");
    if (https.empty())
        GTEST_SKIP() << "needs the servers of tests/windows/test_update_download.sh";
    open_debug_log("update_download.txt");
    // Before any certificate check: a process checks against the roots it
    // read first.
    PCCERT_CONTEXT ca = trust_root(env("QTE_TEST_CA"));
    ASSERT_NE(ca, nullptr);
    std::string body = "stale";
    EXPECT_EQ(download_update_file((untrusted + "exact.bin").c_str(), &body), 1) << "an untrusted certificate passed";
    EXPECT_EQ(body, "");
    for (const std::string &server : {https, http}) {
        EXPECT_EQ(download_update_file((server + "exact.bin").c_str(), &body), 0) << server;
        EXPECT_TRUE(body == exact_body());
    }
    EXPECT_EQ(download_update_file((https + "largest.bin").c_str(), &body), 0);
    EXPECT_EQ(body.size(), (size_t)UPDATE_MAX_SIZE);
    EXPECT_EQ(download_update_file((https + "larger.bin").c_str(), &body), 1);
    EXPECT_EQ(body, "");
    EXPECT_EQ(download_update_file((https + "missing.bin").c_str(), &body), 1);
    EXPECT_EQ(download_update_file((https + "folder").c_str(), &body), 1) << "followed the redirection to folder/";
    // The prefix trusts the run's CA no longer.
    HCERTSTORE roots = CertDuplicateStore(ca->hCertStore);
    CertDeleteCertificateFromStore(ca);
    CertControlStore(roots, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    CertCloseStore(roots, 0);
    close_debug_log();
}
