<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<!-- Messages by id (lrelease -idbased): the source is the Russian text the code builds. -->
<context>
    <name></name>
    <message id="restClientTlsExpired">
        <source>Сертификат сервера просрочен, защищённое соединение не установлено</source>
        <translation>The server certificate has expired, no secure connection was made</translation>
    </message>
    <message id="restClientTlsNotYetValid">
        <source>Сертификат сервера ещё не действует, проверьте дату и время на кассе</source>
        <translation>The server certificate is not valid yet, check the date and time of the till</translation>
    </message>
    <message id="restClientTlsUntrusted">
        <source>Сертификат сервера выдан недоверенным центром сертификации</source>
        <translation>The server certificate was issued by an untrusted certificate authority</translation>
    </message>
    <message id="restClientTlsHostMismatch">
        <source>Сертификат сервера выдан на другое имя, защищённое соединение не установлено</source>
        <translation>The server certificate was issued for another name, no secure connection was made</translation>
    </message>
    <message id="restClientTlsVerifyFailure">
        <source>Не удалось проверить сертификат сервера, защищённое соединение не установлено</source>
        <translation>The server certificate could not be verified, no secure connection was made</translation>
    </message>
    <message id="restClientTlsClientRejected">
        <source>Сервер не принял сертификат клиента: проверьте сертификат кассы</source>
        <translation>The server did not accept the client certificate: check the till certificate</translation>
    </message>
    <message id="restClientBodyTooLarge">
        <source>Ответ сервера больше %1 МБ, он не принят</source>
        <translation>The server answer is larger than %1 MB and was not accepted</translation>
    </message>
    <message id="restClientTimeout">
        <source>Сервер не ответил за %1 с.</source>
        <translation>The server did not answer within %1 s.</translation>
    </message>
    <message id="restClientHostNotFound">
        <source>Сервер %1 не найден, проверьте адрес и сеть</source>
        <translation>Server %1 not found, check the address and the network</translation>
    </message>
    <message id="restClientConnectionRefused">
        <source>Сервер недоступен: соединение отклонено</source>
        <translation>The server is unreachable: connection refused</translation>
    </message>
    <message id="restClientUnreachable">
        <source>Сервер недоступен: нет связи с %1</source>
        <translation>The server is unreachable: no route to %1</translation>
    </message>
    <message id="restClientClientCertificate">
        <source>Не удалось открыть сертификат клиента %1: проверьте файл и пароль</source>
        <translation>The client certificate %1 could not be opened: check the file and its password</translation>
    </message>
    <message id="restClientCaFile">
        <source>Не удалось прочитать файл корневых сертификатов %1</source>
        <translation>The CA file %1 could not be read</translation>
    </message>
    <message id="restClientTlsFailure">
        <source>Не удалось установить защищённое соединение с сервером</source>
        <translation>No secure connection to the server could be made</translation>
    </message>
    <message id="restClientNotTls">
        <source>Сервер ответил не по TLS: проверьте схему и порт в адресе сервера</source>
        <translation>The server did not answer over TLS: check the scheme and the port of the server address</translation>
    </message>
    <message id="restClientConnectionLost">
        <source>Соединение с сервером прервано</source>
        <translation>The connection to the server was lost</translation>
    </message>
    <message id="restClientBadUrl">
        <source>Неверный адрес сервера: %1</source>
        <translation>Invalid server address: %1</translation>
    </message>
    <message id="restClientNetworkError">
        <source>Ошибка сети: %1</source>
        <translation>Network error: %1</translation>
    </message>
    <message id="restClientBadHeader">
        <source>Недопустимый заголовок запроса %1</source>
        <translation>Invalid request header %1</translation>
    </message>
    <message id="restClientNoTransport">
        <source>Сетевой модуль кассы не запущен</source>
        <translation>The till network module is not running</translation>
    </message>
</context>
</TS>
