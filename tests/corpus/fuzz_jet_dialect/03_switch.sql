select Z.*,
switch(KHID=1,'收据', KHID=2,'普通发票') as aFPLX
from XSDDZB Z
order by Z.DJBH;
