// https fetches against a local TLS server with a certificate made for the test: verified, or refused.

#include <memory>
#include <string>
#include <thread>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <gtest/gtest.h>

#include "site/http.hpp"
#include "site/http_settings.hpp"
#include "tests/support/test_server.hpp"

namespace quorvelv {
namespace {

struct key_deleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct certificate_deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

// A self-signed certificate for the address 127.0.0.1 (and no host name).
struct test_certificate {
    std::unique_ptr<EVP_PKEY, key_deleter> key;
    std::unique_ptr<X509, certificate_deleter> certificate;
    std::string pem;

    test_certificate() : key(EVP_EC_gen("P-256")), certificate(X509_new()) {
        X509* c = certificate.get();
        X509_set_version(c, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(c), 1);
        X509_gmtime_adj(X509_getm_notBefore(c), -3600);
        X509_gmtime_adj(X509_getm_notAfter(c), 3600);
        X509_set_pubkey(c, key.get());
        X509_NAME* name = X509_get_subject_name(c);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                                   -1, -1, 0);
        X509_set_issuer_name(c, name);
        X509V3_CTX context;
        X509V3_set_ctx_nodb(&context);
        X509V3_set_ctx(&context, c, c, nullptr, nullptr, 0);
        X509_EXTENSION* names = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "IP:127.0.0.1");
        X509_add_ext(c, names, -1);
        X509_EXTENSION_free(names);
        X509_sign(c, key.get(), EVP_sha256());

        BIO* out = BIO_new(BIO_s_mem());
        PEM_write_bio_X509(out, c);
        char* data = nullptr;
        long length = BIO_get_mem_data(out, &data);
        pem.assign(data, static_cast<std::size_t>(length));
        BIO_free(out);
    }
};

class HttpsGet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.is_valid());
        server.Get("/page", [this](const httplib::Request& req, httplib::Response& res) {
            ++requests;
            version = req.version;
            res.set_content("secret page", "text/html");
        });
        port = server.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port, 0);
        listener = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) std::this_thread::yield();
    }
    void TearDown() override {
        set_tls_trust_for_tests("");
        server.stop();
        if (listener.joinable()) listener.join();
    }
    std::string url(const std::string& host = "127.0.0.1") const {
        return "https://" + host + ":" + std::to_string(port) + "/page";
    }

    test_certificate certificate;
    httplib::SSLServer server{certificate.certificate.get(), certificate.key.get()};
    std::thread listener;
    int port = 0;
    std::atomic<int> requests{0};
    std::string version;
};

TEST_F(HttpsGet, RefusesAServerItCannotVerify) {
    EXPECT_EQ(http_get(url()), "");
    EXPECT_EQ(requests, 0);  // nothing was sent to it
}

TEST_F(HttpsGet, FetchesFromAVerifiedServer) {
    set_tls_trust_for_tests(certificate.pem);
    EXPECT_EQ(http_get(url()), "secret page");
    EXPECT_EQ(http_get(url()), "secret page");  // again, on the session's TLS session cache
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(version, "HTTP/1.0");
}

TEST_F(HttpsGet, RefusesACertificateForAnotherName) {
    set_tls_trust_for_tests(certificate.pem);
    EXPECT_EQ(http_get(url("localhost")), "");
    EXPECT_EQ(requests, 0);
}

TEST_F(HttpsGet, FollowsARedirectFromHttpToHttps) {
    set_tls_trust_for_tests(certificate.pem);
    test_support::test_server plain;
    EXPECT_EQ(http_get(plain.redirect_url(url())), "secret page");
}

}  // namespace
}  // namespace quorvelv
