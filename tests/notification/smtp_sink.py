"""A loopback SMTP server for the e-mail tests: every message it receives is decoded
and written to <folder>/<n>.txt as name=value lines. Runs until killed.

usage: /usr/bin/python3 smtp_sink.py PORT FOLDER
"""
import email
import email.policy
import os
import signal
import sys
import threading

from aiosmtpd.controller import Controller


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.original_content or envelope.content,
                                           policy=email.policy.default)
        self.count += 1
        lines = [
            "mail_from=" + envelope.mail_from,
            "rcpt=" + ",".join(envelope.rcpt_tos),
            "from=" + str(message["From"]),
            "to=" + str(message["To"]),
            "subject=" + str(message["Subject"]),
            "body=" + message.get_content().rstrip("\r\n"),
        ]
        final = os.path.join(self.folder, "%d.txt" % self.count)
        with open(final + ".tmp", "w", encoding="utf-8") as out:
            out.write("\n".join(lines) + "\n")
        os.replace(final + ".tmp", final)  # the test never sees half a file
        return "250 OK"


def main():
    port, folder = int(sys.argv[1]), sys.argv[2]
    controller = Controller(Sink(folder), hostname="127.0.0.1", port=port)
    controller.start()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    main()
