#!/usr/bin/python3
"""A real SMTP server for the mail tests, and a reader of what it received.

Serve:  smtp_sink.py serve DIR [--starttls CERT KEY] [--auth USER PASS] [--reject ADDRESS]...
        Prints "PORT <n>" once it listens on 127.0.0.1 and runs until its
        standard input closes. Every message goes to DIR/<n>.eml, its
        envelope to DIR/<n>.json.
Read:   smtp_sink.py read FILE.eml
        Prints the message as JSON, decoded by Python's email package: the
        headers, the text body and every attachment (name, type, base64).
"""
import argparse
import asyncio
import base64
import email
import email.policy
import json
import os
import socket
import ssl
import sys


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Handler:
    def __init__(self, folder, reject):
        self.folder = folder
        self.reject = set(reject)
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.reject:
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.original_content or envelope.content)
        with open(base + ".json", "w") as f:
            json.dump({"from": envelope.mail_from, "to": envelope.rcpt_tos,
                       "tls": session.ssl is not None,
                       "login": (session.auth_data.login.decode() if session.authenticated else None)}, f)
        return "250 Message accepted for delivery"


def serve(args):
    from aiosmtpd.controller import Controller
    from aiosmtpd.smtp import AuthResult, LoginPassword

    params = {}
    if args.starttls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.starttls[0], args.starttls[1])
        params["tls_context"] = context
        params["require_starttls"] = True
    if args.auth:
        user, password = args.auth[0].encode(), args.auth[1].encode()

        def authenticator(server, session, envelope, mechanism, auth_data):
            ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
            return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)

        params["authenticator"] = authenticator
        params["auth_require_tls"] = bool(args.starttls)
    else:
        params["auth_require_tls"] = False
    port = free_port()
    controller = Controller(Handler(args.folder, args.reject or []), hostname="127.0.0.1", port=port, **params)
    controller.start()
    print("PORT %d" % port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


def read(args):
    with open(args.file, "rb") as f:
        message = email.message_from_binary_file(f, policy=email.policy.default)
    headers = {name: str(message[name]) for name in ("From", "To", "Cc", "Bcc", "Subject", "Date", "Message-ID")
               if message[name] is not None}
    body = message.get_body(preferencelist=("plain",))
    attachments = []
    for part in message.iter_attachments():
        attachments.append({"name": part.get_filename(), "type": part.get_content_type(),
                            "data": base64.b64encode(part.get_payload(decode=True)).decode()})
    print(json.dumps({"headers": headers, "body": body.get_content() if body else None,
                      "body_charset": body.get_content_charset() if body else None,
                      "multipart": message.is_multipart(), "defects": [str(d) for d in message.defects],
                      "attachments": attachments}))


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="command", required=True)
    s = commands.add_parser("serve")
    s.add_argument("folder")
    s.add_argument("--starttls", nargs=2)
    s.add_argument("--auth", nargs=2)
    s.add_argument("--reject", action="append")
    r = commands.add_parser("read")
    r.add_argument("file")
    args = parser.parse_args()
    serve(args) if args.command == "serve" else read(args)


if __name__ == "__main__":
    main()
