<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="ru">
<!-- Messages by id (lrelease -idbased): the source is the Russian text the code builds. -->
<context>
    <name></name>
    <message id="restClientTlsExpired">
        <source>Сертификат сервера просрочен, защищённое соединение не установлено</source>
        <translation>Сертификат сервера просрочен, защищённое соединение не установлено</translation>
    </message>
    <message id="restClientTlsNotYetValid">
        <source>Сертификат сервера ещё не действует, проверьте дату и время на кассе</source>
        <translation>Сертификат сервера ещё не действует, проверьте дату и время на кассе</translation>
    </message>
    <message id="restClientTlsUntrusted">
        <source>Сертификат сервера выдан недоверенным центром сертификации</source>
        <translation>Сертификат сервера выдан недоверенным центром сертификации</translation>
    </message>
    <message id="restClientTlsHostMismatch">
        <source>Сертификат сервера выдан на другое имя, защищённое соединение не установлено</source>
        <translation>Сертификат сервера выдан на другое имя, защищённое соединение не установлено</translation>
    </message>
    <message id="restClientTlsVerifyFailure">
        <source>Не удалось проверить сертификат сервера, защищённое соединение не установлено</source>
        <translation>Не удалось проверить сертификат сервера, защищённое соединение не установлено</translation>
    </message>
    <message id="restClientTlsClientRejected">
        <source>Сервер не принял сертификат клиента: проверьте сертификат кассы</source>
        <translation>Сервер не принял сертификат клиента: проверьте сертификат кассы</translation>
    </message>
    <message id="restClientBodyTooLarge">
        <source>Ответ сервера больше %1 МБ, он не принят</source>
        <translation>Ответ сервера больше %1 МБ, он не принят</translation>
    </message>
    <message id="restClientTimeout">
        <source>Сервер не ответил за %1 с.</source>
        <translation>Сервер не ответил за %1 с.</translation>
    </message>
    <message id="restClientHostNotFound">
        <source>Сервер %1 не найден, проверьте адрес и сеть</source>
        <translation>Сервер %1 не найден, проверьте адрес и сеть</translation>
    </message>
    <message id="restClientConnectionRefused">
        <source>Сервер недоступен: соединение отклонено</source>
        <translation>Сервер недоступен: соединение отклонено</translation>
    </message>
    <message id="restClientUnreachable">
        <source>Сервер недоступен: нет связи с %1</source>
        <translation>Сервер недоступен: нет связи с %1</translation>
    </message>
    <message id="restClientClientCertificate">
        <source>Не удалось открыть сертификат клиента %1: проверьте файл и пароль</source>
        <translation>Не удалось открыть сертификат клиента %1: проверьте файл и пароль</translation>
    </message>
    <message id="restClientCaFile">
        <source>Не удалось прочитать файл корневых сертификатов %1</source>
        <translation>Не удалось прочитать файл корневых сертификатов %1</translation>
    </message>
    <message id="restClientTlsFailure">
        <source>Не удалось установить защищённое соединение с сервером</source>
        <translation>Не удалось установить защищённое соединение с сервером</translation>
    </message>
    <message id="restClientNotTls">
        <source>Сервер ответил не по TLS: проверьте схему и порт в адресе сервера</source>
        <translation>Сервер ответил не по TLS: проверьте схему и порт в адресе сервера</translation>
    </message>
    <message id="restClientConnectionLost">
        <source>Соединение с сервером прервано</source>
        <translation>Соединение с сервером прервано</translation>
    </message>
    <message id="restClientBadUrl">
        <source>Неверный адрес сервера: %1</source>
        <translation>Неверный адрес сервера: %1</translation>
    </message>
    <message id="restClientNetworkError">
        <source>Ошибка сети: %1</source>
        <translation>Ошибка сети: %1</translation>
    </message>
    <message id="restClientBadHeader">
        <source>Недопустимый заголовок запроса %1</source>
        <translation>Недопустимый заголовок запроса %1</translation>
    </message>
    <message id="restClientNoTransport">
        <source>Сетевой модуль кассы не запущен</source>
        <translation>Сетевой модуль кассы не запущен</translation>
    </message>
</context>
</TS>
