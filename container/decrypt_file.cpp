#include "container/decrypt_file.h"

#include "container/cipher_choice.h"
#include "container/crypt_session.h"

#include <new>

int container_decrypt_file(const char *source, const char *target, const char *password, char mode,
                           platform::FileIdentity *made, CryptProgress *progress) {
    bool encrypt = false;
    const CipherChoice *cipher = cipher_for_mode(mode, &encrypt);
    if (cipher == nullptr || encrypt) return CRYPT_ERR_FORMAT;
    std::unique_ptr<CryptSession> session(new (std::nothrow) CryptSession);
    if (!session) return CRYPT_ERR_FILE;
    session->progress = progress;
    int result = container_decrypt(*session, source, target, password);
    // The target is still open here: its identity is that of the file just written.
    if (result == CRYPT_OK && (!session->target || !session->target->identity(made))) {
        session->target.reset();
        result = CRYPT_ERR_FILE;
    }
    container_close(*session);
    return result;
}
