#include "Authenticode.h"

#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <memory>

namespace minitool {

namespace {

constexpr uint16_t kCertificateRevision2 = 0x0200;
constexpr uint16_t kPkcsSignedData = 0x0002;
constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

struct Pkcs7Free {
    void operator()(PKCS7* p) const { PKCS7_free(p); }
};
struct ObjectFree {
    void operator()(ASN1_OBJECT* p) const { ASN1_OBJECT_free(p); }
};
struct MdContextFree {
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
};
struct OpenSslFree {
    void operator()(unsigned char* p) const { OPENSSL_free(p); }
};

// A DER element: the span of its whole encoding and of its content.
struct Der {
    const uint8_t* start = nullptr;
    const uint8_t* content = nullptr;
    size_t contentSize = 0;
    uint8_t tag = 0;
    const uint8_t* end() const { return content + contentSize; }
};

bool ReadDer(const uint8_t* p, const uint8_t* limit, Der& out)
{
    if (limit - p < 2) return false;
    out.start = p;
    out.tag = *p++;
    size_t length = *p++;
    if (length & 0x80) {
        const size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || size_t(limit - p) < bytes) return false;
        length = 0;
        for (size_t i = 0; i < bytes; ++i) length = length << 8 | *p++;
    }
    if (size_t(limit - p) < length) return false;
    out.content = p;
    out.contentSize = length;
    return true;
}

// SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
//   messageDigest DigestInfo ::= SEQUENCE { AlgorithmIdentifier, OCTET STRING } }
bool ReadIndirectDigest(const uint8_t* p, size_t size, Der& outer, Der& algorithmOid, Der& digest)
{
    Der data, info, algorithm;
    if (!ReadDer(p, p + size, outer) || outer.tag != 0x30) return false;
    if (!ReadDer(outer.content, outer.end(), data) || data.tag != 0x30) return false;
    if (!ReadDer(data.end(), outer.end(), info) || info.tag != 0x30) return false;
    if (!ReadDer(info.content, info.end(), algorithm) || algorithm.tag != 0x30) return false;
    if (!ReadDer(algorithm.content, algorithm.end(), algorithmOid) || algorithmOid.tag != 0x06) return false;
    return ReadDer(algorithm.end(), info.end(), digest) && digest.tag == 0x04;
}

std::string ToHex(const unsigned char* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out.push_back(digits[p[i] >> 4]);
        out.push_back(digits[p[i] & 15]);
    }
    return out;
}

const char* DigestDisplayName(const EVP_MD* md)
{
    switch (EVP_MD_type(md)) {
    case NID_md5: return "MD5";
    case NID_sha1: return "SHA-1";
    case NID_sha256: return "SHA-256";
    case NID_sha384: return "SHA-384";
    case NID_sha512: return "SHA-512";
    default: return "other";
    }
}

// The signer's part: the messageDigest attribute must be the digest of the
// signed content (the SpcIndirectDataContent without its outer tag and
// length, as Authenticode defines it), and the signature over the
// authenticated attributes must verify with the signer certificate's key.
// The certificate chain is not judged here. Empty when both hold.
std::string CheckSigner(PKCS7* p7, const Der& content, std::string& signer)
{
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7);
    if (!infos || sk_PKCS7_SIGNER_INFO_num(infos) < 1) return "the signature has no signer";
    PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
    X509* cert = PKCS7_cert_from_signer_info(p7, info);
    if (!cert) return "the signer's certificate is missing";
    char name[256] = {};
    X509_NAME_oneline(X509_get_subject_name(cert), name, sizeof name);
    signer = name;
    const EVP_MD* md = EVP_get_digestbyobj(info->digest_alg->algorithm);
    ASN1_OCTET_STRING* attributeDigest = PKCS7_digest_from_attributes(info->auth_attr);
    if (!md || !attributeDigest) return "the signer's digest cannot be read";
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(content.content, content.contentSize, value, &length, md, nullptr) ||
        length != unsigned(ASN1_STRING_length(attributeDigest)) ||
        !std::equal(value, value + length, ASN1_STRING_get0_data(attributeDigest)))
        return "the signed content was altered after signing";
    unsigned char* attributes = nullptr;
    const int attributesSize =
        ASN1_item_i2d(reinterpret_cast<ASN1_VALUE*>(info->auth_attr), &attributes, ASN1_ITEM_rptr(PKCS7_ATTR_VERIFY));
    std::unique_ptr<unsigned char, OpenSslFree> attributesOwner(attributes);
    std::unique_ptr<EVP_MD_CTX, MdContextFree> ctx(EVP_MD_CTX_new());
    EVP_PKEY* key = X509_get0_pubkey(cert);
    if (attributesSize <= 0 || !ctx || !key || EVP_DigestVerifyInit(ctx.get(), nullptr, md, nullptr, key) != 1 ||
        EVP_DigestVerify(ctx.get(), ASN1_STRING_get0_data(info->enc_digest), size_t(ASN1_STRING_length(info->enc_digest)),
                         attributes, size_t(attributesSize)) != 1)
        return "the signer's signature does not verify";
    return std::string();
}

}  // namespace

std::string HexDigest(const char* algorithm, const uint8_t* data, size_t size)
{
    const EVP_MD* md = EVP_get_digestbyname(algorithm);
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!md || !EVP_Digest(data, size, value, &length, md, nullptr)) return std::string();
    return ToHex(value, length);
}

SignatureCheck CheckSignature(const Bytes& image, const PeImage& pe)
{
    SignatureCheck check;
    const DataDirectory* security = pe.Directory(kSecurityDirectory);
    if (!security || security->address == 0 || security->size == 0) return check;
    check.isSigned = true;
    const size_t table = security->address;  // a file offset; Parse checked it lies in the file
    const size_t tableEnd = table + security->size;
    if (security->size < 8 || GetLe32(image, table) < 8 || GetLe32(image, table) > security->size) {
        check.detail = "the certificate table is malformed";
        return check;
    }
    if (GetLe16(image, table + 4) != kCertificateRevision2 || GetLe16(image, table + 6) != kPkcsSignedData) {
        check.detail = "the certificate is not a PKCS#7 SignedData";
        return check;
    }
    const unsigned char* der = &image[table + 8];
    std::unique_ptr<PKCS7, Pkcs7Free> p7(d2i_PKCS7(nullptr, &der, long(GetLe32(image, table) - 8)));
    if (!p7 || !PKCS7_type_is_signed(p7.get()) || !p7->d.sign || !p7->d.sign->contents) {
        check.detail = "the signature is not a readable PKCS#7 SignedData";
        return check;
    }
    PKCS7* content = p7->d.sign->contents;
    char oid[80] = {};
    OBJ_obj2txt(oid, sizeof oid, content->type, 1);
    if (std::string(oid) != kSpcIndirectDataOid || !content->d.other || content->d.other->type != V_ASN1_SEQUENCE) {
        check.detail = "the signed content is not an Authenticode SpcIndirectDataContent";
        return check;
    }
    const ASN1_STRING* sequence = content->d.other->value.sequence;
    Der indirect, algorithmOid, signedDigest;
    if (!ReadIndirectDigest(ASN1_STRING_get0_data(sequence), size_t(ASN1_STRING_length(sequence)), indirect,
                            algorithmOid, signedDigest)) {
        check.detail = "the SpcIndirectDataContent is malformed";
        return check;
    }
    const unsigned char* oidDer = algorithmOid.start;
    std::unique_ptr<ASN1_OBJECT, ObjectFree> algorithm(
        d2i_ASN1_OBJECT(nullptr, &oidDer, long(algorithmOid.end() - algorithmOid.start)));
    const EVP_MD* md = algorithm ? EVP_get_digestbyobj(algorithm.get()) : nullptr;
    if (!md) {
        check.detail = "the signature uses an unknown digest algorithm";
        return check;
    }
    check.digestName = DigestDisplayName(md);

    // The image digest: everything before the certificate table except the
    // checksum and the security directory entry.
    const size_t checksum = pe.ChecksumOffset(), entry = security->entryOffset;
    std::unique_ptr<EVP_MD_CTX, MdContextFree> ctx(EVP_MD_CTX_new());
    unsigned char value[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const uint8_t* data = image.data();
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), md, nullptr) && table >= entry + 8 &&
              EVP_DigestUpdate(ctx.get(), data, checksum) &&
              EVP_DigestUpdate(ctx.get(), data + checksum + 4, entry - checksum - 4) &&
              EVP_DigestUpdate(ctx.get(), data + entry + 8, table - entry - 8) &&
              EVP_DigestFinal_ex(ctx.get(), value, &length);
    if (!ok) {
        check.detail = "the image digest cannot be computed";
        return check;
    }
    if (tableEnd != image.size()) {
        check.detail = "data follows the certificate table";
        return check;
    }
    if (length != signedDigest.contentSize || !std::equal(value, value + length, signedDigest.content)) {
        check.detail = "the file changed after signing (image digest " + ToHex(value, length) + ", signed " +
                       ToHex(signedDigest.content, signedDigest.contentSize) + ")";
        return check;
    }
    check.detail = CheckSigner(p7.get(), indirect, check.signer);
    check.matching = check.detail.empty();
    return check;
}

}  // namespace minitool
