select K.*, K.QMJE-K.ID as aSJJE 
from (KH K left outer join XSDDZB D on K.ID=D.KHID) left outer join KH V on K.ID=V.ID 
