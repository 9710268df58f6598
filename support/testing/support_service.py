#!/usr/bin/python3
"""The support web service as a test peer: ReportComputerLog and GetStatus
over SOAP 1.1 (spyne), on 127.0.0.1 at a port the system picks, printed as
the first line of standard output. Every request is appended to the record
file (argv[1]) as one JSON line: path, SOAPAction, Content-Type and body.

Behaviour the tests rely on: a report from "fault@example.org" raises a
fault, one from "refuse@example.org" is not accepted, any other is accepted
with log id 42. GetStatus for id 42 has a solution ready; any other id not.
Any request naming "escape@example.org" gets, instead, what no SOAP library
would send: a fault (ReportComputerLog) or a ready solution (GetStatus)
whose texts hold raw control characters and terminal escape sequences.
"""
import io
import json
import sys
from wsgiref.simple_server import WSGIRequestHandler, make_server

from spyne import Application, Boolean, Fault, Integer32, ServiceBase, Unicode, rpc
from spyne.protocol.soap import Soap11
from spyne.server.wsgi import WsgiApplication

NAMESPACE = "http://support.orvane.invalid/"


class SupportService(ServiceBase):
    @rpc(Unicode, Unicode, Unicode, Unicode, Integer32,
         _returns=(Boolean, Integer32),
         _out_variable_names=("ReportComputerLogResult", "LogID"))
    def ReportComputerLog(ctx, Email, ProductVersion, Log, Description, LogID):
        if Email == "fault@example.org":
            raise Fault(faultcode="Server", faultstring="The log store is full")
        if Email == "refuse@example.org":
            return False, LogID
        return True, 42

    @rpc(Integer32, Unicode, Unicode, Unicode,
         _returns=(Integer32, Unicode, Unicode),
         _out_variable_names=("GetStatusResult", "Comments", "SolutionCommands"))
    def GetStatus(ctx, ID, Email, Comments, SolutionCommands):
        if ID == 42:
            return 1, "Close every browser first.\r\nThen press the button.", "2%C:\\a.txt;;1%x.exe;"
        return 0, None, None


ESCAPES = "\x1b[2J\x1b]0;owned\x07\x1b]52;c;ZXZpbA==\x07\x9b31m"
ENVELOPE = ('<?xml version="1.0" encoding="UTF-8"?><s:Envelope '
            'xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" xmlns:t="' + NAMESPACE + '">'
            '<s:Body>{}</s:Body></s:Envelope>')


def escaping_answer(environ, start_response):
    if "GetStatus" in environ.get("HTTP_SOAPACTION", ""):
        status, body = "200 OK", ("<t:GetStatusResponse><t:GetStatusResult>1</t:GetStatusResult>"
                                  "<t:Comments>Step one" + ESCAPES + "\r\nStep two</t:Comments>"
                                  "<t:SolutionCommands>1%x.exe;" + ESCAPES + "</t:SolutionCommands>"
                                  "</t:GetStatusResponse>")
    else:
        status, body = "500 Internal Server Error", (
            "<s:Fault><faultcode>s:Server</faultcode><faultstring>Store full" + ESCAPES +
            "</faultstring></s:Fault>")
    answer = ENVELOPE.format(body).encode("utf-8")
    start_response(status, [("Content-Type", "text/xml; charset=utf-8"), ("Content-Length", str(len(answer)))])
    return [answer]


class Quiet(WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    record_path = sys.argv[1]
    soap = WsgiApplication(Application([SupportService], tns=NAMESPACE,
                                       in_protocol=Soap11(validator="lxml"),
                                       out_protocol=Soap11()))

    def recording(environ, start_response):
        body = environ["wsgi.input"].read(int(environ.get("CONTENT_LENGTH") or 0))
        with open(record_path, "a", encoding="utf-8") as record:
            record.write(json.dumps({
                "path": environ.get("PATH_INFO", ""),
                "soapaction": environ.get("HTTP_SOAPACTION", ""),
                "content_type": environ.get("CONTENT_TYPE", ""),
                "body": body.decode("utf-8", "replace"),
            }) + "\n")
        if b"escape@example.org" in body:
            return escaping_answer(environ, start_response)
        environ["wsgi.input"] = io.BytesIO(body)
        return soap(environ, start_response)

    server = make_server("127.0.0.1", 0, recording, handler_class=Quiet)
    print(server.server_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
