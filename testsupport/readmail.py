"""Prints a stored message as JSON: envelope, decoded headers, text body and attachments."""
import base64
import email
import email.policy
import json
import sys

path = sys.argv[1]
with open(path, "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
with open(path[:-4] + ".json") as f:
    envelope = json.load(f)
out = {
    "envelope": envelope,
    "headers": [k for k in msg.keys()],
    "from": str(msg["From"]),
    "to": [str(a.addr_spec) for a in msg["To"].addresses] if msg["To"] else [],
    "toNames": [a.display_name for a in msg["To"].addresses] if msg["To"] else [],
    "subject": str(msg["Subject"]),
    "body": msg.get_body(("plain",)).get_content() if msg.get_body(("plain",)) else None,
    "attachments": [{"filename": p.get_filename(), "type": p.get_content_type(),
                     "data": base64.b64encode(p.get_payload(decode=True)).decode()}
                    for p in msg.iter_attachments()],
}
print(json.dumps(out))
