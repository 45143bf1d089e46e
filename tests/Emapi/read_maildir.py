"""Reads the messages of one Maildir folder with Python's own mail modules and
prints their fields, one "name=hex(utf-8 value)" line each, a line "message"
before every message. Used by the tests as a parser independent of ours."""
import email
import email.policy
import email.utils
import mailbox
import os
import sys


def addresses(header):
    if header is None:
        return ''
    items = []
    for group in header.groups:
        if group.display_name is not None:
            items.append('group:' + group.display_name)
        else:
            for a in group.addresses:
                items.append(a.display_name + '<' + a.addr_spec + '>')
    return '\n'.join(items)


def main():
    root, folder = sys.argv[1], sys.argv[2]
    if not os.path.isdir(os.path.join(root, '.' + folder if folder else '', 'cur')):
        return  # no such folder yet: no messages
    box = mailbox.Maildir(root, factory=None, create=False)
    if folder:
        box = box.get_folder(folder)

    def order(key):
        seconds, rest = key.split('.', 1)
        return int(seconds), int(rest[1:rest.index('P')])

    for key in sorted(box.keys(), key=order):
        stored = box.get_message(key)
        msg = email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
        defects = list(msg.defects)
        for name in msg.keys():
            defects += list(getattr(msg[name], 'defects', []))
        fields = {
            'subdir': stored.get_subdir(),
            'flags': stored.get_flags(),
            'from': addresses(msg['From']),
            'to': addresses(msg['To']),
            'cc': addresses(msg['Cc']),
            'bcc': addresses(msg['Bcc']),
            'subject': str(msg['Subject'] or ''),
            'date': str(int(email.utils.parsedate_to_datetime(str(msg['Date'])).timestamp()))
                    if msg['Date'] else '',
            'x-priority': str(msg['X-Priority'] or ''),
            'importance': str(msg['Importance'] or ''),
            'content-type': msg.get_content_type(),
            'charset': str(msg.get_content_charset()),
            'body': msg.get_content(),
            'defects': ';'.join(type(d).__name__ for d in defects),
        }
        print('message')
        for name, value in fields.items():
            print(name + '=' + value.encode('utf-8', 'surrogateescape').hex())


main()
