"""The call-manager download against a fake call manager over real HTTPS: the manager's own
code (the RisPort tests of gui_tests.exe) runs under Wine against tests/e2e/fake_cucm.py,
and the fake's records show what the manager sent."""

import os
import re
import shutil
import tempfile
import unittest
import xml.etree.ElementTree as ET

import qax_testlib as qax
from fake_cucm import FakeCucm, RISPORT_PATH, make_certificate

ACCEPTING_ADDRESS = "127.0.40.1"
DECLINING_ADDRESS = "127.0.40.2"
LIVE_TESTS = "RisPortTest.*:RisPortLiveTest.*:PhoneListLiveTest.*:SaveSettingsLiveTest.*"

SOAP_ACTION = "http://schemas.cisco.com/ast/soap/action/#RisPort#SelectCmDevice"
RISPORT_NS = "http://schemas.cisco.com/ast/soap/"
SOAPENV_NS = "http://schemas.xmlsoap.org/soap/envelope/"
SOAPENC_NS = "http://schemas.xmlsoap.org/soap/encoding/"
XSI_NS = "http://www.w3.org/2001/XMLSchema-instance"
XSD_NS = "http://www.w3.org/2001/XMLSchema"


class RisPortAgainstFakeCucm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.mkdtemp(prefix="qax-cucm-")
        cert, key = make_certificate(cls.directory, ACCEPTING_ADDRESS)
        cls.accepting = FakeCucm(ACCEPTING_ADDRESS, cert, key).start()
        cls.declining = FakeCucm(DECLINING_ADDRESS, cert, key).start()
        env = dict(os.environ,
                   QAX_CUCM_SERVER=ACCEPTING_ADDRESS, QAX_CUCM_PORT=str(cls.accepting.port),
                   QAX_CUCM_DECLINE_SERVER=DECLINING_ADDRESS, QAX_CUCM_DECLINE_PORT=str(cls.declining.port))
        try:
            cls.run_result = qax.run_wine([qax.exe("gui_tests.exe"), "--gtest_filter=" + LIVE_TESTS],
                                          timeout=300, env=env)
        finally:
            cls.accepting.stop()
            cls.declining.stop()
        cls.output = cls.run_result.stdout.decode("latin-1")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.directory, ignore_errors=True)

    def test_the_manager_code_passes_every_live_test_without_skipping(self):
        self.assertEqual(self.run_result.returncode, 0, self.output)
        self.assertNotIn("SKIPPED", self.output)
        passed = re.search(r"\[  PASSED  \] (\d+) tests?\.", self.output)
        self.assertIsNotNone(passed, self.output)
        self.assertGreaterEqual(int(passed.group(1)), 8, self.output)

    def requests_of(self, user):
        return [r for r in self.accepting.requests if r["user"] == user]

    def test_every_request_posts_to_risport_with_the_soap_action_and_no_content_type(self):
        self.assertTrue(self.accepting.requests)
        for request in self.accepting.requests:
            self.assertEqual(request["requestline"], "POST %s HTTP/1.1" % RISPORT_PATH)
            headers = {name.lower(): value for name, value in request["headers"]}
            self.assertEqual(headers.get("soapaction"), SOAP_ACTION)
            self.assertEqual(headers.get("user-agent"), "Dravik QAX")
            self.assertNotIn("content-type", headers)

    def test_credentials_answer_the_servers_challenge_as_basic_authorization(self):
        # Each exchange begins without credentials; the challenge brings them.
        self.assertIn(None, [r["user"] for r in self.accepting.requests])
        self.assertTrue(self.requests_of("three-phones:cm-secret"))
        self.assertTrue(self.requests_of("refused:cm-secret"))

    def test_a_declined_certificate_sends_no_request(self):
        self.assertEqual(self.declining.requests, [])

    def test_the_body_asks_for_every_phone_in_the_fixed_soap_envelope(self):
        body = self.requests_of("three-phones:cm-secret")[0]["body"]
        for other in self.accepting.requests:
            self.assertEqual(other["body"], body)
        text = body.decode("utf-8")
        self.assertTrue(text.startswith('<?xml version="1.0" encoding="UTF-8"?>'), text)
        # Between the elements only blanks and TABs.
        for gap in re.findall(r">([^<]*)<", text):
            self.assertTrue(gap.strip(" \t") == "" or gap.strip(" \t").isalnum(), repr(gap))
        self.assertNotIn("\n", text)

        declared = re.search(r"<soapenv:Envelope ([^>]*)>", text).group(1)
        self.assertEqual(re.findall(r'(\S+)="([^"]*)"', declared),
                         [("xmlns:xsi", XSI_NS), ("xmlns:xsd", XSD_NS), ("xmlns:soapenv", SOAPENV_NS)])
        select = re.search(r"<ns1:SelectCmDevice ([^>]*)>", text).group(1)
        self.assertEqual(re.findall(r'(\S+)="([^"]*)"', select),
                         [("xmlns:ns1", RISPORT_NS), ("soapenv:encodingStyle", SOAPENC_NS)])
        criteria_attributes = re.search(r"<CmSelectionCriteria ([^>]*)>", text).group(1)
        self.assertEqual(re.findall(r'(\S+)="([^"]*)"', criteria_attributes),
                         [("soapenv:encodingStyle", SOAPENC_NS), ("xmlns:ns2", RISPORT_NS),
                          ("xmlns:soapenc", SOAPENC_NS), ("xsi:type", "ns2:CmSelectionCriteria")])

        envelope = ET.fromstring(body)
        self.assertEqual(envelope.tag, "{%s}Envelope" % SOAPENV_NS)
        self.assertEqual([child.tag for child in envelope], ["{%s}Body" % SOAPENV_NS])
        operations = list(envelope[0])
        self.assertEqual([op.tag for op in operations], ["{%s}SelectCmDevice" % RISPORT_NS])
        self.assertEqual([child.tag for child in operations[0]], ["StateInfo", "CmSelectionCriteria"])
        self.assertEqual(list(operations[0][0]), [])
        criteria = operations[0][1]
        self.assertEqual([(child.tag, child.text) for child in criteria],
                         [("MaxReturnedDevices", "200"), ("Class", "Phone"), ("Model", "255"),
                          ("Status", "Any"), ("SelectBy", "Name")])
        for child in criteria:
            self.assertEqual(list(child), [])


if __name__ == "__main__":
    unittest.main()
