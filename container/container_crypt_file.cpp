#include "container/cipher_choice.h"
#include "container/crypt_session.h"
#include "container/encrypt_file.h"
#include "crypto/wipe.h"

#include <new>

void container_close(CryptSession &session) {
    session.source.reset();
    session.target.reset();
    wipe_memory(session.key, sizeof session.key);
    wipe_memory(&session.context, sizeof session.context);
    if (session.work) wipe_memory(session.work.get(), session.work_size);
    session.work.reset();
}

int container_crypt_file(const char *source, const char *target, const char *password, char mode,
                         CryptProgress *progress) {
    bool encrypt = false;
    const CipherChoice *cipher = cipher_for_mode(mode, &encrypt);
    if (cipher == nullptr) return CRYPT_ERR_FORMAT;
    std::unique_ptr<CryptSession> session(new (std::nothrow) CryptSession);
    if (!session) return CRYPT_ERR_FILE;
    session->progress = progress;
    const int result = encrypt ? container_encrypt(*session, source, password, *cipher)
                               : container_decrypt(*session, source, target, password);
    container_close(*session);
    return result;
}

int container_encrypt_file(const char *path, const EncryptOutput &output, const char *password,
                           char mode, CryptProgress *progress) {
    bool encrypt = false;
    const CipherChoice *cipher = cipher_for_mode(mode, &encrypt);
    if (cipher == nullptr || !encrypt) return CRYPT_ERR_FORMAT;
    std::unique_ptr<CryptSession> session(new (std::nothrow) CryptSession);
    if (!session) return CRYPT_ERR_FILE;
    session->progress = progress;
    const int result = container_encrypt(*session, path, password, *cipher, &output);
    container_close(*session);
    return result;
}
