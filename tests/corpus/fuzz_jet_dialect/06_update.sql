update XSDDZB set JE = JE * 2, DJBH = DJBH & ? where ID = ? and RQ < #8/31/2008#
